#include "app/TypingLimit.h"

#include <QLineEdit>

TypingLimit::TypingLimit(QLineEdit& Edit, int Limit) : QValidator(&Edit), limit_(Limit) {
    connect(&Edit, &QLineEdit::textChanged, this, [this](const QString& Text) { previous_ = Text; });
    Edit.setValidator(this);
}

QValidator::State TypingLimit::validate(QString& Input, int&) const {
    return Input.size() > limit_ && Input.size() > previous_.size() ? Invalid : Acceptable;
}
