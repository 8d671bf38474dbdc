// The toolbar glyphs and the window icon, drawn with QPainter so that the
// program needs no image files. Colour glyphs show the colour they change.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// Glyph for a toolbar button by its component name ("tbOpen", "tbLeft" ...);
// `swatch` is the colour shown by the colour buttons.
QIcon ToolIcon(const QString& name, const QColor& swatch = QColor());
// The program's icon: a split-flap tile.
QIcon AppIcon();
