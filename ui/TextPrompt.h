// The text prompt: a prompt, one text field and OK/Cancel.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmorin {

class TPromptForm : public QDialog {
  Q_OBJECT

 public:
  // The field holds at most this many characters.
  static constexpr int kMaxLength = 255;

  TPromptForm(const QString& title, const QString& prompt, const QString& defaultText,
              QWidget* parent = nullptr);

  QLabel* PromptLabel() const { return FPromptLabel; }
  QLineEdit* Edit() const { return FEdit; }
  QPushButton* OkButton() const { return FOkButton; }
  QPushButton* CancelButton() const { return FCancelButton; }

 public slots:
  // Escape and the title bar's close box leave the box as Cancel does.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* FPromptLabel;
  QLineEdit* FEdit;
  QPushButton* FOkButton;
  QPushButton* FCancelButton;
};

// Asks the operator for a text in a modal box. Returns the field's text when
// the box was closed by OK, and `defaultText` unchanged (byte for byte) when it
// was left any other way. Strings are in the core's 8-bit encoding.
std::string PromptText(const std::string& title, const std::string& prompt,
                       const std::string& defaultText);

}  // namespace velmorin
