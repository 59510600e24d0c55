#include "framework/host/preset_dialog.h"

#include "framework/controls/control_manager.h"
#include "framework/controls/ui_button.h"
#include "framework/host/filter_session.h"
#include "framework/settings/preset_export.h"
#include "framework/settings/preset_store.h"
#include "framework/settings/record.h"
#include "platform/os/registry.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"

namespace qm::fw {
namespace {

namespace reg = os::registry;

constexpr int kNameBoxId = 2000;
constexpr int kExportCommand = 237, kDeleteCommand = 204, kCancelCommand = 203, kSaveCommand = 205;

class PresetDialog {
public:
    PresetDialog(FilterSession& session, std::string initialName)
        : session_(session), manager_(*session.resources), initialName_(std::move(initialName)) {}
    ~PresetDialog() { manager_.tearDown(); }

    intptr_t procedure(ui::Window& window, uint32_t message, ui::WParam w, ui::LParam l) {
        switch (message) {
            case ui::kWmInitDialog:
                create(window);
                return 1;
            case ui::kWmPaint:
                manager_.beginPaint();
                manager_.paintAll();
                if (ui::Surface* s = manager_.paintContext())
                    s->drawText(nameBox_.left + 30, nameBox_.top - 20, kPresetDialogText);
                manager_.endPaint();
                return 1;
            case ui::kWmCommand:
                if (ui::commandIdOf(w) == ui::kIdOkCommand) act(window, kSaveCommand);
                else if (ui::commandIdOf(w) == ui::kIdCancelCommand) act(window, kCancelCommand);
                return 1;
            case ui::kWmPrivate:
                act(window, static_cast<int>(w));
                return 1;
            default:
                if (ui::isMouseMessage(message)) return manager_.dispatchMouse(window, message, w, l);
                return 0;
        }
    }

    std::string name;
    bool deleteRequested = false;

private:
    void create(ui::Window& window) {
        manager_.setUpDialog(window, {});
        ui::Window* box = ui::dialogItem(window, kNameBoxId);
        if (ui::ComboBox* combo = box ? ui::ComboBox::of(box) : nullptr) {
            nameBox_ = box->rect();
            for (uint32_t n = 0; n < static_cast<uint32_t>(kMaxUserPresets); ++n) {
                const PresetValue v = presetValueAt(session_, n);
                if (v.result != reg::kSuccess) break;
                combo->add(v.name);
            }
            combo->setEditLimit(kPresetNameLimit);
            combo->setEditText(initialName_);
            combo->selectEditText();
            ui::setFocus(box);
        }
        const int y = nameBox_.top + 28;
        manager_.create<UiButton>("", ui::Rect::ofSize(4, 4, 56, 20), 237, 237,
                                  kExportCommand);
        manager_.create<UiButton>("", ui::Rect::ofSize(nameBox_.left - 45, y, 56, 20),
                                  204, 204, kDeleteCommand);
        manager_.create<UiButton>("", ui::Rect::ofSize(nameBox_.left + 35, y, 56, 20), 203, 203,
                                  kCancelCommand);
        manager_.create<UiButton>("", ui::Rect::ofSize(nameBox_.left + 105, y, 56, 20),
                                  205, 205, kSaveCommand);
    }

    void act(ui::Window& window, int command) {
        if (command != kExportCommand && command != kDeleteCommand && command != kCancelCommand &&
            command != kSaveCommand)
            return;
        ui::Window* box = ui::dialogItem(window, kNameBoxId);
        ui::ComboBox* combo = box ? ui::ComboBox::of(box) : nullptr;
        name = combo ? combo->editText().substr(0, kPresetNameLimit) : std::string();
        deleteRequested = false;
        if (command == kCancelCommand) name.clear();
        if (command == kDeleteCommand) deleteRequested = true;
        if (command == kExportCommand) {
            name.clear();
            // A cancelled file dialog leaves this dialog open (later variant).
            if (exportPresets(&window, session_) == ExportOutcome::Cancelled && !session_.exportCancelCloses)
                return;
        }
        ui::endDialog(window, 0);
    }

    FilterSession& session_;
    ControlManager manager_;
    std::string initialName_;
    ui::Rect nameBox_;
};

}  // namespace

std::string presetNameOf(std::string_view entryText) {
    std::string s(entryText);
    if (!s.empty() && (s[0] == '#' || s[0] == '>' || s[0] == '?')) s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

PresetDialogOutcome runPresetDialog(ui::Window& owner, FilterSession& session,
                                    const std::string& currentEntry) {
    PresetDialogOutcome outcome;
    if (!session.resources) return outcome;
    PresetDialog dialog(session, presetNameOf(currentEntry));
    const intptr_t code = ui::runModalDialog(
        *session.resources, os::ResourceId::of("SAVE"), &owner,
        [&dialog](ui::Window& w, uint32_t m, ui::WParam wp, ui::LParam lp) {
            return dialog.procedure(w, m, wp, lp);
        });
    if (code == -1 || dialog.name.empty()) return outcome;

    if (dialog.deleteRequested) {
        if (session.bothHives) reg::deleteValue(reg::Root::LocalMachine, session.registryKey, dialog.name);
        if (reg::deleteValue(reg::Root::CurrentUser, session.registryKey, dialog.name) != reg::kSuccess) {
            ui::messageBox(&owner, kNoSuchPresetText, "Error", ui::kMbIconError);
            return outcome;
        }
        outcome.kind = PresetDialogOutcome::Deleted;
        return outcome;
    }

    const std::string name = presetNameOf(dialog.name);
    if (name.empty()) return outcome;
    RecordBuffer record = session.settings;
    sealRecord(record.data(), session.format, false);
    const std::span<const uint8_t> bytes(record.data(), static_cast<size_t>(session.recordBytes()));
    // The machine-wide copy is commonly not writable; the user's is what counts.
    if (session.bothHives) reg::setValue(reg::Root::LocalMachine, session.registryKey, name, reg::kTypeBinary, bytes);
    if (reg::setValue(reg::Root::CurrentUser, session.registryKey, name, reg::kTypeBinary, bytes) != reg::kSuccess) {
        // Silence here would leave the user believing the preset is kept.
        ui::messageBox(&owner, "Unable to save User Preset \"" + name + "\"", "Error", ui::kMbIconError);
        return outcome;
    }
    outcome.kind = PresetDialogOutcome::Saved;
    outcome.name = name;
    return outcome;
}

}  // namespace qm::fw
