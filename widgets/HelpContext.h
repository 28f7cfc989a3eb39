#pragma once
// Help context numbers of controls, and the button and key that open the help page of a
// control: press the "?" button, then click the control; or press F1 on the control that has
// the keyboard focus.

#include <QToolButton>

#include <functional>

namespace scenaria {

// Gives a control the help topic number that its window's help opens for it.
void SetHelpContext(QWidget* control, int helpContext);
// The help topic of a control: its own number, else that of the nearest parent that has one;
// 0 when none has.
int HelpContextOf(const QWidget* control);

class THelpButton : public QToolButton {
    Q_OBJECT
public:
    // Also takes F1 in the window the button is shown in.
    explicit THelpButton(QWidget* parent);
    ~THelpButton() override;

    // Opens the help page of a topic number.
    std::function<void(int helpContext)> OnHelp;

    // True after a press of the button until the next click picks a control (or Escape or a
    // click outside the window gives up).
    bool Picking() const { return picking_; }
    // Picks the control at a point of the screen, as the click after the button does.
    void PickAt(QPoint globalPosition);
    // What F1 does: the help of the control with the keyboard focus (or, when it has none, of
    // the window).
    void HelpForFocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartPicking();
    void StopPicking();
    void Open(const QWidget* control);

    bool picking_ = false;
};

} // namespace scenaria
