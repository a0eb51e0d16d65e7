// Message boxes: dispatch to the owner window's service, the recording service
// used by tests and scripted sessions, and the standard-error fallback.
#include "platform.h"

#include <cstdio>

namespace {

// The answer a box gives when nobody chooses: its first button.
int defaultReply(unsigned flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
    }
}

// Prints each box to standard error: what a program without a window shows.
class StderrMessageBoxes : public MessageBoxService {
public:
    int show(const char* text, const char* caption, unsigned flags) override
    {
        std::fprintf(stderr, "[%s] %s\n", caption ? caption : kStandardCaption, text ? text : "");
        return defaultReply(flags);
    }
};

StderrMessageBoxes gStderrBoxes;
MessageBoxService* gDefaultBoxes = &gStderrBoxes;

} // namespace

int RecordingMessageBoxes::show(const char* text, const char* caption, unsigned flags)
{
    std::lock_guard<std::mutex> hold(lock);
    int reply = defaultReply(flags);
    if (!replies.empty()) {
        reply = replies.front();
        replies.pop_front();
    }
    shown.push_back(MessageRecord{caption ? caption : kStandardCaption, text ? text : "", flags,
                                  caption != nullptr, reply});
    return reply;
}

void RecordingMessageBoxes::queueReply(int reply)
{
    std::lock_guard<std::mutex> hold(lock);
    replies.push_back(reply);
}

std::vector<MessageRecord> RecordingMessageBoxes::messages() const
{
    std::lock_guard<std::mutex> hold(lock);
    return shown;
}

size_t RecordingMessageBoxes::count() const
{
    std::lock_guard<std::mutex> hold(lock);
    return shown.size();
}

void RecordingMessageBoxes::clear()
{
    std::lock_guard<std::mutex> hold(lock);
    shown.clear();
    replies.clear();
}

int MessageBoxA(HWND hWnd, const char* lpText, const char* lpCaption, unsigned uType)
{
    MessageBoxService* service = (hWnd && hWnd->lpMessages) ? hWnd->lpMessages : gDefaultBoxes;
    return service->show(shownText(lpText), shownText(lpCaption), uType);
}

void setDefaultMessageBoxService(MessageBoxService* service)
{
    gDefaultBoxes = service ? service : &gStderrBoxes;
}

MessageBoxService* defaultMessageBoxService()
{
    return gDefaultBoxes;
}
