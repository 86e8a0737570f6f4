#pragma once
// Fonts of the forms on Linux. The forms name Windows fonts ("宋体", Arial);
// each is mapped to an installed family that has its glyphs.
#include <QFont>
#include <QString>

namespace t7::qt {

// The first installed family that covers Simplified Chinese, preferring
// the fixed-pitch WenQuanYi Zen Hei Mono and Noto Sans Mono CJK (they have
// 宋体's proportions), then their proportional forms; empty when none is
// installed.
QString cjkFamily();

// Registers the substitutions once ("宋体", "SimSun", "新宋体" and the
// default form font resolve to cjkFamily()) and makes 宋体 9 pt the
// application's font, the default font of a form on a Chinese system.
void installFonts();

// The font for a control: the named family (substituted as above, else
// matched by the system) at the given size in points; an empty name or a
// size of 0 keeps the default.
QFont formFont(const QString& family, double pointSize, bool bold);

}  // namespace t7::qt
