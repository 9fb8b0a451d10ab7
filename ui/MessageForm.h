// The message box: a text, the icon of its kind and a row of buttons; it gives
// back the result of the button that closed it.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <string>

#include "serialize/Operator.h"

class QLabel;
class QPushButton;

namespace velmorin {

// The application's title, shown on the error box and on Custom message boxes.
// "Velmorin" unless set otherwise. (Kept apart from Qt's display name, which
// the X11 platform would append to every window title.)
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The window every box belongs to: the main window, once it has said so.
// Each box is its transient child, and so stays above it whichever window is
// active (another program's too). Until a main window is set, and after it is
// gone, the active window.
void SetBoxOwner(QWidget* owner);
QWidget* BoxOwner();

// Places a top-level box in the middle of the screen it will appear on.
void CentreOnScreen(QWidget& window);

class TMessageForm : public QDialog {
  Q_OBJECT

 public:
  TMessageForm(const QString& text, BoxKind kind, BoxButtons buttons, QWidget* parent = nullptr);

  // The buttons, left to right, in the order of their flags.
  const QList<QPushButton*>& Buttons() const { return FButtons; }
  // Marked as default: OK, else Yes, else Retry (null when the set has none).
  QPushButton* DefaultButton() const { return FDefaultButton; }
  // Pressed by Escape: Cancel, else No, else OK (null when the set has none).
  QPushButton* CancelButton() const { return FCancelButton; }
  // The button that gives `result`, or null.
  QPushButton* ButtonFor(TModalResult result) const;
  QLabel* IconLabel() const { return FIconLabel; }  // null for Custom boxes
  QLabel* TextLabel() const { return FTextLabel; }

 public slots:
  // Closing the box without a button (title bar, Alt+F4) gives Cancel's result.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  bool HandleKey(QKeyEvent* event);
  void MoveFocus(bool forward);
  bool PressAccelerator(QChar letter);
  void ButtonClicked(QPushButton* button);

  QList<QPushButton*> FButtons;
  QList<TModalResult> FResults;
  QList<QChar> FAccelerators;  // upper case, null for captions without one
  QPushButton* FDefaultButton = nullptr;
  QPushButton* FCancelButton = nullptr;
  QLabel* FIconLabel = nullptr;
  QLabel* FTextLabel = nullptr;
};

// Shows a modal message box over the whole application and returns the result
// of the button that closed it, or mrCancel when it was closed otherwise.
// `text` is in the core's 8-bit encoding and may hold CR LF line breaks.
TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons);

}  // namespace velmorin
