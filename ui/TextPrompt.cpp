#include "ui/TextPrompt.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "serialize/Operator.h"
#include "ui/MessageForm.h"
#include "ui/QtOperator.h"

namespace velmorin {

TPromptForm::TPromptForm(const QString& title, const QString& prompt, const QString& defaultText,
                         QWidget* parent)
    : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(title);

  FPromptLabel = new QLabel(prompt, this);
  FPromptLabel->setTextFormat(Qt::PlainText);

  FEdit = new QLineEdit(this);
  FEdit->setMaxLength(kMaxLength);
  FEdit->setText(defaultText);
  FEdit->selectAll();
  FEdit->setMinimumWidth(
      std::max(FPromptLabel->sizeHint().width(), FEdit->fontMetrics().averageCharWidth() * 40));
  FPromptLabel->setBuddy(FEdit);

  FOkButton = new QPushButton(QStringLiteral("OK"), this);
  FCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  // Enter in the field presses OK; on a focused button it presses that button.
  FOkButton->setDefault(true);
  const int buttonWidth =
      std::max({75, FOkButton->sizeHint().width(), FCancelButton->sizeHint().width()});
  FOkButton->setFixedWidth(buttonWidth);
  FCancelButton->setFixedWidth(buttonWidth);
  connect(FOkButton, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(FCancelButton, &QPushButton::clicked, this, [this] { done(mrCancel); });

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(FOkButton);
  row->addWidget(FCancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // not resizable
  layout->addWidget(FPromptLabel);
  layout->addWidget(FEdit);
  layout->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
  layout->addLayout(row);

  FEdit->setFocus(Qt::OtherFocusReason);
}

void TPromptForm::reject() {
  done(mrCancel);
}

void TPromptForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}

std::string PromptText(const std::string& title, const std::string& prompt,
                       const std::string& defaultText) {
  TPromptForm form(ToQt(title), ToQt(prompt), ToQt(defaultText), BoxOwner());
  if (form.exec() == mrOk) return FromQt(form.Edit()->text());
  return defaultText;
}

}  // namespace velmorin
