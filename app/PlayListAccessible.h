// The playlist as screen readers see it: a list whose rows are its items,
// each named by its text and marked when selected or out of view.
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

QAccessibleInterface* PlayListAccessibleFactory(const QString& ClassName, QObject* Object);
