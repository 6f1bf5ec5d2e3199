#pragma once

// What a screen reader has of a control, asked through the accessibility interface only (as
// Orca asks it): the labels that name it, its name and its value, "Lost: 2". A value that is
// only painted, or hidden behind a name, is missing here.

#include <QAccessible>
#include <QStringList>
#include <QWidget>

inline QString spoken(QWidget *w)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(w);
    if (!i)
        return {};
    QStringList parts;
    // The frame around a control labels it too; a reader says that once for the frame.
    for (const auto &relation : i->relations(QAccessible::Label)) {
        if (relation.first->role() != QAccessible::Grouping)
            parts << relation.first->text(QAccessible::Name);
    }
    parts << i->text(QAccessible::Name) << i->text(QAccessible::Value);
    parts.removeAll(QString());
    parts.removeDuplicates();
    return parts.join(QStringLiteral(": "));
}
