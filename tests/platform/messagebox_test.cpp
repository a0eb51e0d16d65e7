// Message boxes: routing to the owner's service and the recorder's replies.
#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(MessageBoxA, GoesToTheOwnersRecorderWithStandardCaptionWhenNoneGiven)
{
    RecordingMessageBoxes boxes;
    PlatformWindow window{&boxes};
    EXPECT_EQ(MessageBoxA(&window, "Текст", " caption ", MB_OK | MB_ICONWARNING), IDOK);
    EXPECT_EQ(MessageBoxA(&window, "no caption", nullptr, MB_OK), IDOK);
    auto shown = boxes.messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, " caption ");
    EXPECT_EQ(shown[0].text, "Текст");
    EXPECT_EQ(shown[0].flags, MB_OK | MB_ICONWARNING);
    EXPECT_TRUE(shown[0].hasCaption);
    EXPECT_EQ(shown[1].caption, kStandardCaption);
    EXPECT_FALSE(shown[1].hasCaption);
}

TEST(MessageBoxA, AnswersQueuedRepliesInOrderThenTheDefault)
{
    RecordingMessageBoxes boxes;
    PlatformWindow window{&boxes};
    boxes.queueReply(IDNO);
    boxes.queueReply(IDCANCEL);
    EXPECT_EQ(MessageBoxA(&window, "a", "b", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(&window, "a", "b", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(&window, "a", "b", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(&window, "a", "b", MB_OKCANCEL), IDOK);
    EXPECT_EQ(boxes.messages()[0].reply, IDNO);
}

TEST(MessageBoxA, WindowWithoutServiceUsesTheProcessDefault)
{
    RecordingMessageBoxes boxes;
    setDefaultMessageBoxService(&boxes);
    PlatformWindow bare;
    MessageBoxA(&bare, "one", nullptr, MB_OK);
    MessageBoxA(nullptr, "two", nullptr, MB_OK);
    setDefaultMessageBoxService(nullptr);
    EXPECT_EQ(boxes.count(), 2u);
    EXPECT_NE(defaultMessageBoxService(), &boxes);
}
