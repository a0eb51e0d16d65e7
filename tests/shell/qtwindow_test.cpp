// The main window on the Qt Widgets backend (offscreen platform): the frame,
// the menu bar with the exact texts and check marks, menu choices reaching the
// command dispatcher, the canvas size driving the raster, the close request.
#include <QImage>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "platform/backend.h"
#include "support/qtplatform.h"
#include "resources/resources.h"
#include "shell/shell.h"

namespace {

QAction* findAction(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction* found = findAction(a->menu(), text))
                return found;
    }
    return nullptr;
}

class QtWindow : public QtMainWindowTest {
protected:
    QMainWindow* frame = nullptr;  // the window's frame on the screen

    void SetUp() override
    {
        QtMainWindowTest::SetUp();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = dynamic_cast<QMainWindow*>(w); f && f->isVisible())
                frame = f;
        ASSERT_NE(frame, nullptr);
    }

    QAction* action(const char* text)
    {
        for (QAction* top : frame->menuBar()->actions()) {
            if (top->text() == QString::fromUtf8(text))
                return top;
            if (top->menu())
                if (QAction* a = findAction(top->menu(), QString::fromUtf8(text)))
                    return a;
        }
        return nullptr;
    }
};

} // namespace

TEST_F(QtWindow, FrameShowsTheTitleMenuTextsAndStartMarks)
{
    EXPECT_EQ(frame->windowTitle(), QString("JointDetectionAndIdentificationFixedCutOffs"));
    QStringList bar;
    for (QAction* top : frame->menuBar()->actions())
        bar << top->text();
    EXPECT_EQ(bar, (QStringList{" File", " Processing", " Settings", " Else One", " Create Series..."}));
    for (const MenuItemDesc& item : mainMenu()) {
        if (!item.id)
            continue;
        QAction* a = action(item.text);
        ASSERT_NE(a, nullptr) << item.text;
        EXPECT_EQ(a->isCheckable(), item.group != 0) << item.text;
        EXPECT_EQ(a->isChecked(), item.id == IDM_FIXED_CUTOFF || item.id == IDM_JOINT) << item.text;
    }
}

TEST_F(QtWindow, ChoosingASeriesTypeMovesTheMarkWithinItsGroup)
{
    action(" Unfuxed Number of Cutoffs Pulses")->trigger();
    EXPECT_EQ(gState.wSeriesType, 8);
    EXPECT_TRUE(action(" Unfuxed Number of Cutoffs Pulses")->isChecked());
    EXPECT_FALSE(action(" Fixed Number of Cutoffs Pulses")->isChecked());
    EXPECT_TRUE(action(" Joint Detection and Identification")->isChecked());
    action(" Unfuxed Number of Cutoffs Pulses")->trigger();  // choosing it again keeps it marked
    EXPECT_TRUE(action(" Unfuxed Number of Cutoffs Pulses")->isChecked());
}

TEST_F(QtWindow, ProcessingNextDataFromTheMenuPaintsTheResults)
{
    action(" Processing Next Data ")->trigger();
    EXPECT_EQ(gState.wViewMode, 6);
    QApplication::processEvents();
    EXPECT_EQ(runPendingPaints(hWnd), 0);  // the event loop already painted
    const QWidget* canvas = frame->centralWidget();
    EXPECT_EQ(windowRaster(hWnd).size(), canvas->size());
}

TEST_F(QtWindow, ClosingTheFrameDestroysTheWindowAndPostsQuit)
{
    frame->close();
    QApplication::processEvents();
    EXPECT_FALSE(windowAlive(hWnd));
    EXPECT_EQ(quitCode(), 0);
    EXPECT_EQ(gState.lpSeriesHeader, nullptr);
}
