// The Qt host's conversions: dialog filters, default extensions, fonts.
#include <gtest/gtest.h>

#include "gui/QtFormHost.h"
#include "platform/Font.h"

TEST(QtHost, FiltersBecomeQtFilters) {
  struct Case {
    const char* filter;
    const char* want;
  };
  for (const Case& c : {Case{"FlipFile|*.Flp|All Files|*.*", "FlipFile (*.Flp);;All Files (*)"},
                        Case{"GIF|*.GIF|All Files|*.*", "GIF (*.GIF);;All Files (*)"},
                        Case{"Bitmaps (*.bmp)|*.bmp", "Bitmaps (*.bmp)"},
                        Case{"Text|*.txt|All Files|*.*", "Text (*.txt);;All Files (*)"},
                        Case{"Pictures|*.bmp;*.dib", "Pictures (*.bmp *.dib)"}, Case{"", ""}}) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(QtFileFilter(c.filter).toStdString(), c.want);
  }
}

TEST(QtHost, SavedNamesGetTheDefaultExtension) {
  struct Case {
    const char* name;
    const char* ext;
    const char* want;
  };
  for (const Case& c : {Case{"/tmp/a", "FLP", "/tmp/a.Flp"}, Case{"/tmp/a", "Gif", "/tmp/a.gif"},
                        Case{"/tmp/a.gif", "Gif", "/tmp/a.gif"}, Case{"/tmp/a.png", "Gif", "/tmp/a.png"},
                        Case{"/tmp/x.y/a", "TXT", "/tmp/x.y/a.txt"}, Case{"/tmp/a", "", "/tmp/a"},
                        Case{"", "Gif", ""}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WithDefaultExtension(c.name, c.ext), c.want);
  }
}

TEST(QtHost, FontsMapBothWays) {
  TFont font;
  font.SetName("DejaVu Serif");
  font.SetHeight(-64);
  font.SetColor(54741);
  font.SetStyle((1u << fsBold) | (1u << fsStrikeOut));
  const QFont q = ToQFont(font);
  EXPECT_EQ(q.family().toStdString(), "DejaVu Serif");
  EXPECT_EQ(q.pointSize(), 48);
  EXPECT_TRUE(q.bold());
  EXPECT_FALSE(q.italic());
  EXPECT_TRUE(q.strikeOut());

  TFont back;
  back.SetColor(54741);
  AssignQFont(back, q);
  EXPECT_EQ(back.Name(), "DejaVu Serif");
  EXPECT_EQ(back.Height(), -64);
  EXPECT_EQ(back.Style(), font.Style());

  // A font given in pixels is a character height.
  QFont pixels(QStringLiteral("DejaVu Sans"));
  pixels.setPixelSize(30);
  AssignQFont(back, pixels);
  EXPECT_EQ(back.Height(), -30);
  EXPECT_EQ(back.Color(), 54741) << "the colour is not the font dialog's";

  // A font chosen in points: 48 points at 96 ppi is 64 pixels.
  QFont points(QStringLiteral("DejaVu Sans"));
  points.setPointSize(48);
  points.setItalic(true);
  AssignQFont(back, points);
  EXPECT_EQ(back.Size(), 48);
  EXPECT_EQ(back.Height(), -64);
  EXPECT_EQ(back.Style(), 1u << fsItalic);
}
