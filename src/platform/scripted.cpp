// Message boxes and dialogs of a scripted session or a test: every reply comes
// from one queue in the order the script gave them, every box is recorded.
#include <charconv>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/private.h"

namespace {

// The control id an all-digit name gives; -1 for any other name, and for a
// number too large for an id.
int numberOf(const std::string& s)
{
    int value = -1;
    const char* end = s.data() + s.size();
    const auto [stop, error] = std::from_chars(s.data(), end, value);
    return !s.empty() && s[0] != '-' && error == std::errc() && stop == end ? value : -1;
}

bool truthy(const std::string& v)
{
    return v == "1" || v == "on" || v == "yes" || v == "true" || v == "checked";
}

// Whether a described control takes a reply: an edit, a check box or a radio
// button (a label, a group box or a push button does not).
bool isField(const DialogControlDesc& c)
{
    return c.id >= 0 && std::strcmp(c.kind, "label") != 0 && std::strcmp(c.kind, "group") != 0 &&
           std::strcmp(c.kind, "button") != 0;
}

// Whether `name` is a described label in either language: as the program
// writes it or as it is shown.
bool namesLabel(const std::string& name, const char* label)
{
    return label && label[0] && (name == label || name == shownText(label));
}

// The control a field names: a control id, the label of a described control,
// or the text of a static label (as described or as shown, its start
// suffices) that stands before an unlabelled edit. -1 when the dialog has no
// such control; an id counts only when described (or the dialog is not).
int controlIdOf(HWND dialog, const std::string& name)
{
    const int number = numberOf(name);
    const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate);
    if (!desc)
        return number;
    for (const DialogControlDesc& c : desc->controls)
        if (isField(c) && (c.id == number || namesLabel(name, c.label)))
            return c.id;
    const auto& list = desc->controls;
    for (size_t i = 0; i + 1 < list.size(); i++) {
        if (std::strcmp(list[i].kind, "label") != 0 || std::strcmp(list[i + 1].kind, "edit") != 0)
            continue;
        std::string shown = list[i].label ? shownText(list[i].label) : "";
        if (list[i].id >= 0)
            shown = GetDlgItem(dialog, list[i].id)->lpImpl->title;
        if (!name.empty() && (namesLabel(name, list[i].label) || shown.rfind(name, 0) == 0))
            return list[i + 1].id;
    }
    return -1;
}

// The fields of a described dialog as a reply may name them: "label" (id),
// an unlabelled edit by the label before it.
std::string fieldNames(const DialogTemplateDesc& desc)
{
    std::string names;
    const char* before = "";  // the label text before the current control
    for (const DialogControlDesc& c : desc.controls) {
        const char* label = c.label ? shownText(c.label) : "";
        if (isField(c))
            names += std::string(names.empty() ? "" : ", ") + "\"" + (label[0] ? label : before) + "\" (" +
                     std::to_string(c.id) + ")";
        before = std::strcmp(c.kind, "label") == 0 ? label : "";
    }
    return names.empty() ? "none" : names;
}

// Why a reply does not fit: the dialog, the field it lacks, the reply's line
// and the fields it has, for the runner to prefix with the line that opened it.
std::string misfit(const std::string& what, const std::string& field, const std::string& value, int line,
                   const std::string& fields)
{
    const std::string lacks = field.empty() ? "takes no bare word \"" + value + "\"" : "has no field \"" + field + "\"";
    return what + " opened by this line " + lacks + (line > 0 ? " (answer at line " + std::to_string(line) + ")" : "") +
           "; its fields: " + fields;
}

// The dialog's caption without the blanks around it.
std::string captionOf(const std::string& title)
{
    const size_t first = title.find_first_not_of(' '), last = title.find_last_not_of(' ');
    return first == std::string::npos ? "" : title.substr(first, last - first + 1);
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

ScriptedAnswer ScriptedSession::takeNext()
{
    ScriptedAnswer answer{false, {}};  // an unanswered dialog is cancelled
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    return answer;
}

ScriptedAnswer ScriptedSession::takeDialogAnswer(HWND dialog)
{
    const ScriptedAnswer answer = takeNext();
    const DialogTemplateDesc* desc = findDialogTemplate(dialog->lpImpl->dialogTemplate);
    for (const auto& [name, value] : answer.fields)
        if (controlIdOf(dialog, name) < 0) {
            const std::string title = captionOf(dialog->lpImpl->title);
            replyError = misfit("the dialog \"" + title + "\"", name, value, answer.line,
                                desc ? fieldNames(*desc) : "not described, a control id only");
            log.push_back("dialog " + std::to_string(dialog->lpImpl->dialogTemplate) + ": no field " + name);
            return ScriptedAnswer{false, {}, answer.line};  // the person gives up: nothing typed is kept
        }
    return answer;
}

intptr_t ScriptedSession::runDialog(HWND dialog, DLGPROC procedure, LPARAM param)
{
    procedure(dialog, WM_INITDIALOG, 0, param);
    if (dialog->lpImpl->dialogEnded)
        return dialog->lpImpl->dialogResult;
    const ScriptedAnswer answer = takeDialogAnswer(dialog);
    for (const auto& [name, value] : answer.fields) {
        const int id = controlIdOf(dialog, name);
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

// The name a reply to the save dialog gives: its "file" field or bare word,
// placed in saveFolder when relative, with the default extension when it has
// none. "" when the reply cancels or does not fit (replyError says why).
std::string ScriptedSession::saveName(const OPENFILENAMEA* request)
{
    const ScriptedAnswer answer = takeNext();  // an unanswered file dialog is cancelled
    std::string name;
    for (const auto& [key, value] : answer.fields) {
        if (key != "file" && !key.empty()) {
            const std::string title = captionOf(request->lpstrTitle ? request->lpstrTitle : "");
            replyError = misfit("the save dialog \"" + title + "\"", key, value, answer.line, "\"file\"");
            return "";
        }
        name = value;
    }
    if (!answer.ok || name.empty())
        return "";
    std::filesystem::path path(name);
    if (!saveFolder.empty() && path.is_relative())
        path = std::filesystem::path(saveFolder) / path;
    if (path.extension().empty() && request->lpstrDefExt)
        path += std::string(".") + request->lpstrDefExt;
    return path.string();
}

bool ScriptedSession::chooseSaveFile(OPENFILENAMEA* request)
{
    const std::string name = saveName(request);
    if (name.empty()) {
        log.push_back("save dialog cancel");
        return false;
    }
    // A name that cannot be used is refused with a message, as the dialog on
    // the screen does, and the person gives up.
    std::error_code error;
    const bool exists = static_cast<int>(name.size()) < request->nMaxFile && std::filesystem::exists(name, error);
    if (static_cast<int>(name.size()) >= request->nMaxFile || error) {
        const std::string why = error ? error.message() : "longer than " + std::to_string(request->nMaxFile - 1) +
                                                              " characters";
        show((name + "\nThis file name cannot be used: " + why + ".").c_str(), request->lpstrTitle,
             MB_OK | MB_ICONWARNING);
        log.push_back("save dialog: cannot use " + name);
        return false;
    }
    if ((request->Flags & OFN_OVERWRITEPROMPT) && exists) {
        const std::string question = name + " already exists.\nDo you want to replace it?";
        if (show(question.c_str(), request->lpstrTitle, MB_YESNO | MB_ICONWARNING) != IDYES) {
            log.push_back("save dialog cancel " + name);
            return false;
        }
    }
    std::memcpy(request->lpstrFile, name.c_str(), name.size() + 1);
    log.push_back("save dialog ok " + name);
    return true;
}
