#pragma once
#include <QPoint>
#include <QRect>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// The small pieces every window is built from, placed as designed.

// A panel with a 1-pixel raised bevel.
QFrame *makePanel(const char *name, QWidget *parent);
// A raised panel that fills the window's client area.
QFrame *fillWithPanel(QWidget *window, const char *name = "Panel1");
// A label at its designed position, as wide as its text unless a width is given.
QLabel *makeLabel(const char *name, QWidget *parent, const QString &text, QPoint at, int width = 0);
QPushButton *makeButton(const char *name, QWidget *parent, const QString &text, QRect geometry);
