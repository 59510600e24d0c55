// The settings resource: what a host needs to know of a filter's settings
// without calling it, as tab-separated text lines.
//
//   quillmere-settings  1
//   plugin    Keenwright HD
//   record    ID  VERSION  LENGTH
//   key       Software\Quillmere\KeenwrightHD
//   variant   later | earlier       later: the record travels in the scripting
//                                   descriptor; earlier: only through the dialog's
//                                   preset list
//   dialog    parameters | every-run
//   default   D                     the default factory preset, D-th from the end
//   field     SLOT  WIDTH           the FieldTable, in record order
//   setting   NAME  SLOT  KIND  MINIMUM  MAXIMUM  INITIAL  LABEL  STATUS
//                                   (the settings the record keeps)
//   preset    RESOURCE-NAME  DISPLAY-NAME     in the order of the preset list
//
// KIND is slider, pair, pad, selector, toggle, colour or pattern; a pair or
// pad packs two parts (minimum..maximum each), INITIAL is the packed value.
#pragma once

#include <string>
#include <vector>

#include "framework/host/filter_description.h"

namespace qm::tools {

std::string settingsResourceText(const fw::FilterDescription& filter,
                                 std::vector<std::string> presetNames);

}  // namespace qm::tools
