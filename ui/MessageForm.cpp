#include "ui/MessageForm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "ui/BoxTextLabel.h"
#include "ui/QtOperator.h"

namespace velmorin {

namespace {

struct ButtonInfo {
  BoxButtons flag;
  const char* caption;
  TModalResult result;
};

// Bit order is the left-to-right order in the box.
constexpr std::array<ButtonInfo, box_button::Count> kButtonTable{{
    {box_button::Yes, "&Yes", mrYes},
    {box_button::No, "&No", mrNo},
    {box_button::OK, "OK", mrOk},
    {box_button::Cancel, "Cancel", mrCancel},
    {box_button::Abort, "&Abort", mrAbort},
    {box_button::Retry, "&Retry", mrRetry},
    {box_button::Ignore, "&Ignore", mrIgnore},
    {box_button::All, "&All", mrAll},
    {box_button::NoToAll, "N&o to All", mrNoToAll},
    {box_button::YesToAll, "Yes to &All", mrYesToAll},
    {box_button::Help, "&Help", mrNone},
}};

// Narrower buttons look odd next to the usual dialog buttons.
constexpr int kMinButtonWidth = 75;

QString TitleOf(BoxKind kind) {
  switch (kind) {
    case BoxKind::Warning:
      return QStringLiteral("Warning");
    case BoxKind::Error:
      return QStringLiteral("Error");
    case BoxKind::Information:
      return QStringLiteral("Information");
    case BoxKind::Confirm:
      return QStringLiteral("Confirm");
    case BoxKind::Custom:
      break;
  }
  return ApplicationTitle();
}

bool HasIcon(BoxKind kind) {
  return kind != BoxKind::Custom;
}

QStyle::StandardPixmap IconOf(BoxKind kind) {
  switch (kind) {
    case BoxKind::Warning:
      return QStyle::SP_MessageBoxWarning;
    case BoxKind::Error:
      return QStyle::SP_MessageBoxCritical;
    case BoxKind::Information:
      return QStyle::SP_MessageBoxInformation;
    default:
      return QStyle::SP_MessageBoxQuestion;
  }
}

// The letter after "&", upper case; null when the caption has none.
QChar AcceleratorOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == u'&') {
      if (caption[i + 1] != u'&') return caption[i + 1].toUpper();
      ++i;  // "&&" is a literal ampersand
    }
  }
  return {};
}

QPointer<QWidget>& StoredBoxOwner() {
  static QPointer<QWidget> owner;
  return owner;
}

QScreen* ScreenFor(const QWidget* window) {
  if (const QWidget* parent = window->parentWidget()) {
    if (QScreen* screen = parent->screen()) return screen;
  }
  return QGuiApplication::primaryScreen();
}

// Message texts come with CR LF line breaks; a label breaks lines on LF alone.
QString WithPlainLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

QString& StoredApplicationTitle() {
  static QString title = QStringLiteral("Velmorin");
  return title;
}

}  // namespace

QString ApplicationTitle() {
  return StoredApplicationTitle();
}

void SetApplicationTitle(const QString& title) {
  StoredApplicationTitle() = title;
}

void SetBoxOwner(QWidget* owner) {
  StoredBoxOwner() = owner;
}

QWidget* BoxOwner() {
  if (QWidget* owner = StoredBoxOwner()) return owner;
  return QApplication::activeWindow();
}

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = ScreenFor(&window);
  if (!screen) return;
  // The frame counts where the platform knows it already (it does once the
  // native window exists, which it does by the time the box is shown).
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

TMessageForm::TMessageForm(const QString& text, BoxKind kind, BoxButtons buttons, QWidget* parent)
    : QDialog(parent) {
  // A fixed dialog frame: a title and a close box, no minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(TitleOf(kind));

  auto* top = new QHBoxLayout;
  top->setSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) * 2);
  if (HasIcon(kind)) {
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    FIconLabel = new QLabel(this);
    FIconLabel->setPixmap(style()->standardIcon(IconOf(kind), nullptr, this).pixmap(size, size));
    FIconLabel->setFixedSize(size, size);
    top->addWidget(FIconLabel, 0, Qt::AlignTop);
  }

  // The box grows with its text up to half the screen's width; beyond that
  // the text wraps, at blanks or, in a word too long for a line, anywhere.
  auto* textLabel = new TBoxTextLabel(WithPlainLineBreaks(text), this);
  FTextLabel = textLabel;
  const QScreen* screen = ScreenFor(this);
  const int maxWidth = screen ? screen->geometry().width() / 2 : 400;
  const int width = std::min(maxWidth, textLabel->NaturalWidth(maxWidth) + 2);
  FTextLabel->setFixedSize(width, FTextLabel->heightForWidth(width));
  top->addWidget(FTextLabel, 0, Qt::AlignTop);
  top->addStretch(1);  // a wide button row must not pull icon and text apart

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  int buttonWidth = kMinButtonWidth;
  for (const ButtonInfo& info : kButtonTable) {
    if (!(buttons & info.flag)) continue;
    auto* button = new QPushButton(QString::fromLatin1(info.caption), this);
    // The accelerator letter is handled below, with or without Alt, so the
    // button's own Alt shortcut is not wanted; the underline stays.
    button->setShortcut(QKeySequence());
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this, [this, button] { ButtonClicked(button); });
    buttonWidth = std::max(buttonWidth, button->sizeHint().width());
    FButtons.append(button);
    FResults.append(info.result);
    FAccelerators.append(AcceleratorOf(button->text()));
    row->addWidget(button);
  }
  row->addStretch(1);
  for (QPushButton* button : FButtons) button->setFixedWidth(buttonWidth);

  auto pick = [this](std::initializer_list<TModalResult> order) -> QPushButton* {
    for (TModalResult result : order) {
      if (QPushButton* button = ButtonFor(result)) return button;
    }
    return nullptr;
  };
  FDefaultButton = pick({mrOk, mrYes, mrRetry});
  FCancelButton = pick({mrCancel, mrNo, mrOk});
  if (FDefaultButton) FDefaultButton->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  layout->addLayout(top);
  layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
  layout->addLayout(row);

  if (!FButtons.isEmpty()) FButtons.first()->setFocus(Qt::OtherFocusReason);
}

QPushButton* TMessageForm::ButtonFor(TModalResult result) const {
  const qsizetype index = FResults.indexOf(result);
  return index < 0 ? nullptr : FButtons[index];
}

void TMessageForm::reject() {
  done(mrCancel);
}

void TMessageForm::ButtonClicked(QPushButton* button) {
  const TModalResult result = FResults[FButtons.indexOf(button)];
  // Help gives no result and so leaves the box open.
  if (result != mrNone) done(result);
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && FButtons.contains(qobject_cast<QPushButton*>(watched))) {
    if (HandleKey(static_cast<QKeyEvent*>(event))) return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TMessageForm::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

// The box's keyboard: Enter presses the focused button, Escape the cancel
// button, arrows move between the buttons and a letter presses the button it
// marks. Tab and Shift+Tab take Qt's own focus chain, which is the same row.
bool TMessageForm::HandleKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (mods != Qt::NoModifier) return false;
      if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
          focused && FButtons.contains(focused)) {
        focused->click();
      } else if (FDefaultButton) {
        FDefaultButton->click();
      }
      return true;
    case Qt::Key_Escape:
      // Without a cancel button Escape does nothing; it never closes the box
      // with a result that no button carries.
      if (FCancelButton) FCancelButton->click();
      return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
      if (mods != Qt::NoModifier) return false;
      MoveFocus(true);
      return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
      if (mods != Qt::NoModifier) return false;
      MoveFocus(false);
      return true;
    default:
      break;
  }
  if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z &&
      (mods == Qt::NoModifier || mods == Qt::AltModifier)) {
    return PressAccelerator(QChar(static_cast<char16_t>(event->key())));
  }
  return false;
}

void TMessageForm::MoveFocus(bool forward) {
  if (FButtons.isEmpty()) return;
  const qsizetype count = FButtons.size();
  const qsizetype current = FButtons.indexOf(qobject_cast<QPushButton*>(focusWidget()));
  qsizetype next = 0;
  if (current >= 0) next = (current + (forward ? 1 : count - 1)) % count;
  FButtons[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

// One button with the letter is pressed; several (such as "&All" and
// "Yes to &All") take the focus in turn instead, so none is pressed by chance.
bool TMessageForm::PressAccelerator(QChar letter) {
  QList<qsizetype> matches;
  for (qsizetype i = 0; i < FAccelerators.size(); ++i) {
    if (FAccelerators[i] == letter) matches.append(i);
  }
  if (matches.isEmpty()) return false;
  if (matches.size() == 1) {
    FButtons[matches.first()]->click();
    return true;
  }
  const qsizetype current = FButtons.indexOf(qobject_cast<QPushButton*>(focusWidget()));
  qsizetype target = matches.first();
  for (qsizetype index : matches) {
    if (index > current) {
      target = index;
      break;
    }
  }
  FButtons[target]->setFocus(Qt::ShortcutFocusReason);
  return true;
}

void TMessageForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

TModalResult ShowMessageBox(const std::string& text, BoxKind kind, BoxButtons buttons) {
  TMessageForm form(ToQt(text), kind, buttons, BoxOwner());
  return form.exec();
}

}  // namespace velmorin
