// A length limit on what the user types into a line edit that, unlike
// QLineEdit's maximum length, leaves a longer text put there by the program
// whole: such a text can be shortened but not lengthened.
#pragma once

#include <QValidator>

class QLineEdit;

class TypingLimit : public QValidator {
  public:
    TypingLimit(QLineEdit& Edit, int Limit);

    State validate(QString& Input, int& Position) const override;

  private:
    int limit_;
    // The text before the change being validated.
    QString previous_;
};
