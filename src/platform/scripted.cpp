// Message boxes and dialogs of a scripted session or a test: every reply comes
// from one queue in the order the script gave them, every box is recorded.
#include <filesystem>
#include <cstring>
#include <vector>

#include "platform/private.h"

namespace {

bool isNumber(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool truthy(const std::string& v)
{
    return v == "1" || v == "on" || v == "yes" || v == "true" || v == "checked";
}

// The control a field names: a control id, the label of a described control,
// or the text of a static label (as described or as set on open, its start
// suffices) that stands before an unlabelled edit.
int controlIdOf(HWND dialog, const std::string& name)
{
    if (isNumber(name))
        return name.size() <= 9 ? std::stoi(name) : -1;  // longer: beyond every control id (and int)
    const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate);
    if (!desc)
        return -1;
    for (const DialogControlDesc& c : desc->controls)
        if (c.label && c.id >= 0 && std::strcmp(c.kind, "label") != 0 && name == c.label)
            return c.id;
    const auto& list = desc->controls;
    for (size_t i = 0; i + 1 < list.size(); i++) {
        if (std::strcmp(list[i].kind, "label") != 0 || std::strcmp(list[i + 1].kind, "edit") != 0)
            continue;
        std::string shown = list[i].label ? list[i].label : "";
        if (list[i].id >= 0)
            shown = GetDlgItem(dialog, list[i].id)->lpImpl->title;
        if (!name.empty() && (name == list[i].label || shown.rfind(name, 0) == 0))
            return list[i + 1].id;
    }
    return -1;
}

// The kind of a described control ("" when not described).
const char* kindOf(HWND dialog, int id)
{
    if (const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate))
        for (const DialogControlDesc& c : desc->controls)
            if (c.id == id)
                return c.kind;
    return "";
}

// The radio buttons of the group box that holds `id`.
std::vector<int> radioGroupOf(HWND dialog, int id)
{
    std::vector<int> group, found;
    if (const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate))
        for (const DialogControlDesc& c : desc->controls) {
            if (std::strcmp(c.kind, "group") == 0) {
                if (!found.empty())
                    break;
                group.clear();
            } else if (std::strcmp(c.kind, "radio") == 0) {
                group.push_back(c.id);
                if (c.id == id)
                    found = group;
            }
            if (!found.empty())
                found = group;
        }
    return found;
}

} // namespace

int scriptedControlId(HWND dialog, const std::string& name)
{
    return controlIdOf(dialog, name);
}

const char* describedControlKind(HWND dialog, int id)
{
    return kindOf(dialog, id);
}

bool scriptedValueOn(const std::string& value)
{
    return truthy(value);
}

void ScriptedSession::queue(const ScriptedAnswer& answer)
{
    answers.push_back(answer);
}

void ScriptedSession::queueFirst(const ScriptedAnswer& answer)
{
    answers.push_front(answer);
}

int ScriptedSession::show(const char* text, const char* caption, unsigned flags)
{
    bool ok = true;  // an unanswered box takes its default: OK, or Yes
    if (!answers.empty()) {
        ok = answers.front().ok;
        answers.pop_front();
    }
    const bool yesNo = (flags & MB_TYPEMASK) == MB_YESNO;
    const int reply = ok ? (yesNo ? IDYES : IDOK) : (yesNo ? IDNO : IDCANCEL);
    shown.push_back(MessageRecord{caption ? caption : kStandardCaption, text ? text : "", flags, caption != nullptr,
                                  reply});
    return reply;
}

ScriptedAnswer ScriptedSession::takeDialogAnswer()
{
    ScriptedAnswer answer{false, {}};  // an unanswered dialog is cancelled
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    return answer;
}

intptr_t ScriptedSession::runDialog(HWND dialog, DLGPROC procedure, LPARAM param)
{
    procedure(dialog, WM_INITDIALOG, 0, param);
    if (dialog->lpImpl->dialogEnded)
        return dialog->lpImpl->dialogResult;
    const ScriptedAnswer answer = takeDialogAnswer();
    for (const auto& [name, value] : answer.fields) {
        const int id = controlIdOf(dialog, name);
        if (id < 0) {
            log.push_back("dialog " + std::to_string(dialog->lpImpl->dialogTemplate) + ": no field " + name);
            continue;
        }
        HWND control = GetDlgItem(dialog, id);
        const char* kind = kindOf(dialog, id);
        if (std::strcmp(kind, "check") == 0) {
            // A check box is clicked when its state is to change, as a person would.
            if ((control->lpImpl->buttonCheck == BST_CHECKED) != truthy(value)) {
                control->lpImpl->buttonCheck = truthy(value) ? BST_CHECKED : BST_UNCHECKED;
                procedure(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
            }
        } else if (std::strcmp(kind, "radio") == 0) {
            // A radio button is clicked to choose it; the others of its group go off.
            if (truthy(value)) {
                for (int other : radioGroupOf(dialog, id))
                    GetDlgItem(dialog, other)->lpImpl->buttonCheck = BST_UNCHECKED;
                control->lpImpl->buttonCheck = BST_CHECKED;
                procedure(dialog, WM_COMMAND, static_cast<WPARAM>(id), 0);
            }
        } else {
            control->lpImpl->title = value;
        }
    }
    procedure(dialog, WM_COMMAND, answer.ok ? IDOK : IDCANCEL, 0);
    if (!dialog->lpImpl->dialogEnded && answer.ok)  // OK refused (a bad value): the person gives up
        procedure(dialog, WM_COMMAND, IDCANCEL, 0);
    if (!dialog->lpImpl->dialogEnded)
        EndDialog(dialog, IDCANCEL);
    log.push_back("dialog " + std::to_string(dialog->lpImpl->dialogTemplate) + " " +
                  (dialog->lpImpl->dialogResult == IDOK ? "ok" : "cancel"));
    return dialog->lpImpl->dialogResult;
}

bool ScriptedSession::chooseSaveFile(OPENFILENAMEA* request)
{
    const ScriptedAnswer answer = takeDialogAnswer();  // an unanswered file dialog is cancelled
    std::string name;
    for (const auto& [key, value] : answer.fields)
        if (key == "file" || key.empty())
            name = value;
    if (!answer.ok || name.empty()) {
        log.push_back("save dialog cancel");
        return false;
    }
    if (std::filesystem::path(name).extension().empty() && request->lpstrDefExt)
        name += std::string(".") + request->lpstrDefExt;
    if ((request->Flags & OFN_OVERWRITEPROMPT) && std::filesystem::exists(name)) {
        const std::string question = name + " already exists.\nDo you want to replace it?";
        if (show(question.c_str(), request->lpstrTitle, MB_YESNO | MB_ICONWARNING) != IDYES) {
            log.push_back("save dialog cancel " + name);
            return false;
        }
    }
    if (static_cast<int>(name.size()) >= request->nMaxFile) {
        log.push_back("save dialog: name too long");
        return false;
    }
    std::memcpy(request->lpstrFile, name.c_str(), name.size() + 1);
    log.push_back("save dialog ok " + name);
    return true;
}
