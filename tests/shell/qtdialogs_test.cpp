// The parameter dialogs as real Qt dialogs (offscreen): built from their
// descriptions with the control ids as object names, typed into and clicked as
// a person would; a refused value keeps the dialog open with the field marked;
// a script answers them through their widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "platform/backend.h"
#include "support/qtplatform.h"
#include "resources/resources.h"
#include "shell/shell.h"

namespace {

// The dialog on the screen: the modal one on top.
QDialog* shownDialog()
{
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return d;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

template <typename W>
W* control(QDialog* dialog, int id)
{
    return dialog ? dialog->findChild<W*>(QString::number(id)) : nullptr;
}

void clickButton(QDialog* dialog, QDialogButtonBox::StandardButton which)
{
    dialog->findChild<QDialogButtonBox*>()->button(which)->click();
}

// Runs `person` on the next dialog to open, from inside its modal loop: looks
// for it each time the event loop turns, for a few seconds at most.
void onNextDialog(std::function<void(QDialog*)> person, QDialog* previous = nullptr, int tries = 2000)
{
    QTimer::singleShot(tries > 0 ? 2 : 0, [person, previous, tries]() {
        QDialog* d = shownDialog();
        if ((!d || d == previous) && tries > 0)
            return onNextDialog(person, previous, tries - 1);
        person(d == previous ? nullptr : d);
    });
}

class QtDialogs : public QtMainWindowTest {
protected:
    void SetUp() override
    {
        QtMainWindowTest::SetUp();
        setDialogService(qtDialogs());  // the real dialogs; message boxes stay with the session
    }

    void command(UINT id) { SendMessageA(hWnd, WM_COMMAND, id, 0); }
};

} // namespace

TEST_F(QtDialogs, CreateSeriesShowsTheStateAndRefusesTminZeroWithTheFieldMarked)
{
    const uint16_t tmin = gState.wTmin, quantity = gState.wNextImpulseQuantity;
    bool seen = false, stayedOpen = false, marked = false, secondSeen = false;
    onNextDialog([&](QDialog* d) {
        ASSERT_NE(d, nullptr);
        seen = true;
        EXPECT_EQ(d->windowTitle(), QString("Create Series"));
        QLineEdit* length = control<QLineEdit>(d, IDC_SERIES_LENGTH);
        QLineEdit* min = control<QLineEdit>(d, IDC_SERIES_TMIN);
        ASSERT_TRUE(length && min);
        EXPECT_EQ(length->text(), QString::number(gState.dwSeriesLength));
        EXPECT_EQ(min->text(), QString::number(tmin));
        min->setText("0");
        clickButton(d, QDialogButtonBox::Ok);
        stayedOpen = d->isVisible();
        marked = d->focusWidget() == min && min->selectedText() == "0";
        onNextDialog(
            [&](QDialog* second) {  // the structure dialog: the person stops there
                secondSeen = second != nullptr;
                if (second)
                    clickButton(second, QDialogButtonBox::Cancel);
            },
            d);
        min->setText(QString::number(tmin));
        clickButton(d, QDialogButtonBox::Ok);
    });
    command(IDM_CREATE_SERIES);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(marked);
    EXPECT_TRUE(secondSeen);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_EQ(session.messages()[0].caption, " Bad value ");
    EXPECT_EQ(session.messages()[0].text, "\"Min Length of Interval\" must be from 1 to 65535, not 0.");
    EXPECT_EQ(gState.wTmin, tmin);
    EXPECT_EQ(gState.wNextImpulseQuantity, quantity);  // Cancel in the second dialog keeps the count
}

TEST_F(QtDialogs, DrawingSettingsTakeClicksOnOkAndForgetThemOnCancel)
{
    const int32_t shaded = gState.bShadedOriginalPulses;
    onNextDialog([](QDialog* d) {
        ASSERT_NE(d, nullptr);
        control<QCheckBox>(d, IDC_DRAWING_SHADED)->click();
        clickButton(d, QDialogButtonBox::Cancel);
    });
    command(IDM_DRAWING_SETTINGS);
    EXPECT_EQ(gState.bShadedOriginalPulses, shaded);

    bool shownChecked = false;
    onNextDialog([&](QDialog* d) {
        ASSERT_NE(d, nullptr);
        shownChecked = control<QCheckBox>(d, IDC_DRAWING_SHADED)->isChecked();
        control<QCheckBox>(d, IDC_DRAWING_SHADED)->click();
        clickButton(d, QDialogButtonBox::Ok);
    });
    command(IDM_DRAWING_SETTINGS);
    EXPECT_EQ(shownChecked, shaded != 0);
    EXPECT_EQ(gState.bShadedOriginalPulses, shaded ? 0 : 1);
}

TEST_F(QtDialogs, ScriptedRepliesAreTypedIntoTheRealDialog)
{
    setDialogService(qtScriptedDialogs(&session));
    session.queue(ScriptedAnswer{true, {{"Number of Required Etalons", "3"}, {"List of Required Etalons", "2,5,9"}}});
    command(IDM_NEW_PULSES);
    ASSERT_EQ(gState.wRequiredQuantity, 3);
    EXPECT_EQ(gState.lpRequiredList[0], 2);
    EXPECT_EQ(gState.lpRequiredList[1], 5);
    EXPECT_EQ(gState.lpRequiredList[2], 9);
    ASSERT_FALSE(session.log.empty());
    EXPECT_EQ(session.log.back(), "dialog " + std::to_string(IDD_REQUIRED_ETALONS) + " ok");
    EXPECT_EQ(shownDialog(), nullptr);  // closed
}

TEST_F(QtDialogs, ScriptedRefusalIsAnsweredThenTheDialogGivesUp)
{
    setDialogService(qtScriptedDialogs(&session));
    const uint16_t quantity = gState.wRequiredQuantity;
    session.queue(ScriptedAnswer{true, {{"List of Required Etalons", "2,99"}, {"Number of Required Etalons", "2"}}});
    session.queue(ScriptedAnswer{true, {}});  // the message box
    command(IDM_NEW_PULSES);
    EXPECT_EQ(gState.wRequiredQuantity, quantity);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_EQ(session.messages()[0].text, "\"List of Required Etalons\": entry 2 is 99; etalon numbers are from 1 to " +
                                              std::to_string(gState.wAlphabetSize) + ".");
    EXPECT_EQ(session.log.back(), "dialog " + std::to_string(IDD_REQUIRED_ETALONS) + " cancel");
}

TEST_F(QtDialogs, ScriptedReplyNamingAFieldTheDialogLacksCancelsItAndSaysWhy)
{
    setDialogService(qtScriptedDialogs(&session));
    const uint16_t quantity = gState.wRequiredQuantity;
    session.queue(ScriptedAnswer{true, {{"Number of Required Etalons", "3"}, {"List of Requried Etalons", "2,5,9"}}, 4});
    command(IDM_NEW_PULSES);
    EXPECT_EQ(gState.wRequiredQuantity, quantity);
    EXPECT_TRUE(session.messages().empty());
    EXPECT_EQ(session.replyError, "the dialog \"List of Required Etalons\" opened by this line has no field "
                                  "\"List of Requried Etalons\" (answer at line 4); its fields: "
                                  "\"Number of Required Etalons\" (1014), \"List of Required Etalons\" (1013)");
    EXPECT_EQ(session.log.back(), "dialog " + std::to_string(IDD_REQUIRED_ETALONS) + " cancel");
    EXPECT_EQ(shownDialog(), nullptr);  // closed
}
