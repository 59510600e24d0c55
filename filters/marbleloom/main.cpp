#include "framework/host/entry.h"

QM_DEFINE_ENTRYPOINT()
