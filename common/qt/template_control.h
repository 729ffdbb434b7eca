// Finding the controls of a dialog template (a language module's dialog<ID>.ui, controls named
// by their numeric identifier), the one way both programs do it: a dialog gets every control
// it uses, so its code needs no check for a missing one. User-interface thread only.
#pragma once

#include <cstdio>

#include <QString>
#include <QWidget>

namespace common {

// The control of class T named id under root, the top widget built from template nTemplate.
// When root lacks it (a damaged or older language module), says so once, here, on standard
// error ("dialog template %d lacks control %d\n"; not when root itself is null: the missing
// template has been reported already) and makes a hidden stand-in of class T named id, a
// child of owner, so the dialog still opens and works without showing it. Never null; the
// control belongs to the widget tree of root or owner.
template <class T>
T* TemplateControl(QWidget& owner, QWidget* root, int nTemplate, int id) {
    const QString name = QString::number(id);
    if (T* control = root ? root->findChild<T*>(name) : nullptr) return control;
    if (root) std::fprintf(stderr, "dialog template %d lacks control %d\n", nTemplate, id);
    T* standIn = new T(&owner);
    standIn->setObjectName(name);
    standIn->hide();
    return standIn;
}

}  // namespace common
