// FreeType + fontconfig text rendering with a per-font glyph cache, and the
// DrawText layout rules (prefix "&", tabs, CR/LF lines, alignment, clipping).
#include "platform/TextEngine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kltext {

// ---------------------------------------------------------------- surfaces

RawSurface::RawSurface(uint8_t* pixels, std::ptrdiff_t stride, int width, int height,
                       int bytesPerPixel)
    : FPixels(pixels), FStride(stride), FBpp(bytesPerPixel) {
  Width = width;
  Height = height;
}

namespace {
// Exact rounded (d * (255 - a) + c * a) / 255 without a division.
inline uint8_t Mix(unsigned d, unsigned c, unsigned a) {
  unsigned v = d * (255 - a) + c * a + 128;
  return static_cast<uint8_t>((v + (v >> 8)) >> 8);
}
}  // namespace

namespace {
// The byte step is a template argument so that the loop is specialised for
// 24- and 32-bit rows.
template <int Bpp>
void BlendRow(uint8_t* p, const uint8_t* coverage, int n, uint8_t r, uint8_t g, uint8_t b) {
  for (int i = 0; i < n; ++i, p += Bpp) {
    const unsigned a = coverage[i];
    if (a == 0) continue;
    if (a == 255) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
    } else {
      p[0] = Mix(p[0], b, a);
      p[1] = Mix(p[1], g, a);
      p[2] = Mix(p[2], r, a);
    }
  }
}
}  // namespace

void RawSurface::BlendSpan(int x, int y, const uint8_t* coverage, int n, uint8_t r, uint8_t g,
                           uint8_t b) {
  uint8_t* p = Row(y) + static_cast<std::ptrdiff_t>(x) * FBpp;
  if (FBpp == 3) BlendRow<3>(p, coverage, n, r, g, b);
  else BlendRow<4>(p, coverage, n, r, g, b);
}

void RawSurface::FillSpan(int x, int y, int n, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = Row(y) + static_cast<std::ptrdiff_t>(x) * FBpp;
  for (int i = 0; i < n; ++i, p += FBpp) {
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

namespace {

// ---------------------------------------------------------------- UTF-8

// Malformed sequences (stray continuation bytes, overlong forms, surrogates,
// values past U+10FFFF, truncation) become U+FFFD, one per bad byte.
std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const unsigned c = p[i];
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07, min = 0x10000;
    }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (ok) {
      out.push_back(cp);
      i += len;
    } else {
      out.push_back(0xFFFD);
      ++i;
    }
  }
  return out;
}

// ---------------------------------------------------------------- fonts

// Em sizes beyond this are clamped: a hostile settings file must not make us
// allocate glyph bitmaps of gigabytes.
constexpr double kMaxEmPixels = 1000.0;
// Height 0 asks for "the default size".
constexpr double kDefaultEmPixels = 12.0;
constexpr size_t kMaxGlyphBytesPerFont = 8u << 20;
constexpr size_t kMaxGlyphsPerFont = 4096;
constexpr size_t kMaxFontInstances = 12;
constexpr size_t kMaxResolvedNames = 24;

struct FaceChoice {
  std::string File;
  int Index = 0;
  bool Embolden = false;
  bool HasMatrix = false;
  FT_Matrix Matrix{0x10000, 0, 0, 0x10000};
};

// fontconfig's answer for one (name, bold, italic): the candidates best first,
// kept for finding a fallback face per character.
struct Resolved {
  FcPattern* Request = nullptr;
  FcFontSet* Candidates = nullptr;
  ~Resolved() {
    if (Candidates) FcFontSetDestroy(Candidates);
    if (Request) FcPatternDestroy(Request);
  }
};

struct Glyph {
  int Left = 0;  // bitmap origin relative to the pen, x to the right
  int Top = 0;   // rows of the bitmap above the baseline
  int Width = 0;
  int Rows = 0;
  int Advance = 0;
  std::vector<uint8_t> Coverage;  // Width * Rows, 0..255
  std::vector<int> Spans;         // per row: first inked column, one past the last
};

struct SizedFace {
  FT_Face Face = nullptr;
  bool Embolden = false;
  ~SizedFace() {
    if (Face) FT_Done_Face(Face);
  }
};

struct Stroke {
  int Top = 0;  // first row relative to the baseline (positive = below)
  int Thickness = 1;
};

class FontInstance {
 public:
  std::shared_ptr<Resolved> Names;
  std::unique_ptr<SizedFace> Primary;
  std::string PrimaryFile;
  int PrimaryIndex = 0;
  std::map<std::pair<std::string, int>, std::unique_ptr<SizedFace>> Fallbacks;
  double Em = kDefaultEmPixels;
  FontMetrics M;
  Stroke Underline;
  Stroke StrikeOut;
  std::unordered_map<char32_t, Glyph> Glyphs;
  size_t GlyphBytes = 0;
};

FaceChoice ChoiceFrom(FcConfig* config, FcPattern* request, FcPattern* font) {
  FaceChoice c;
  FcPattern* prepared = FcFontRenderPrepare(config, request, font);
  FcPattern* p = prepared ? prepared : font;
  FcChar8* file = nullptr;
  if (FcPatternGetString(p, FC_FILE, 0, &file) == FcResultMatch && file)
    c.File = reinterpret_cast<const char*>(file);
  int index = 0;
  if (FcPatternGetInteger(p, FC_INDEX, 0, &index) == FcResultMatch) c.Index = index;
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(p, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) c.Embolden = embolden;
  FcMatrix* m = nullptr;
  if (FcPatternGetMatrix(p, FC_MATRIX, 0, &m) == FcResultMatch && m &&
      (m->xx != 1 || m->xy != 0 || m->yx != 0 || m->yy != 1)) {
    c.HasMatrix = true;
    c.Matrix.xx = static_cast<FT_Fixed>(std::lround(m->xx * 65536.0));
    c.Matrix.xy = static_cast<FT_Fixed>(std::lround(m->xy * 65536.0));
    c.Matrix.yx = static_cast<FT_Fixed>(std::lround(m->yx * 65536.0));
    c.Matrix.yy = static_cast<FT_Fixed>(std::lround(m->yy * 65536.0));
  }
  if (prepared) FcPatternDestroy(prepared);
  return c;
}

class Engine {
 public:
  static Engine& Get() {
    static Engine engine;
    return engine;
  }

  // Released at exit so that leak checkers see every face and pattern freed
  // (fontconfig stores its pointers as offsets, which they cannot follow).
  ~Engine() {
    FInstances.clear();
    FResolved.clear();
    if (FLibrary) FT_Done_FreeType(FLibrary);
    if (FConfig) FcConfigDestroy(FConfig);
  }

  std::mutex Mutex;

  FontInstance& Instance(const TFont& font);
  const Glyph& GetGlyph(FontInstance& f, char32_t cp);

 private:
  Engine() {
    if (FT_Init_FreeType(&FLibrary) != 0) FLibrary = nullptr;
    FConfig = FcInitLoadConfigAndFonts();
  }

  std::shared_ptr<Resolved> Resolve(const std::string& name, bool bold, bool italic);
  std::unique_ptr<SizedFace> Open(const FaceChoice& choice, double em);
  SizedFace* FallbackFor(FontInstance& f, char32_t cp);
  void Measure(FontInstance& f, int height);

  FT_Library FLibrary = nullptr;
  FcConfig* FConfig = nullptr;
  std::list<std::pair<std::string, std::shared_ptr<Resolved>>> FResolved;
  std::list<std::pair<std::string, std::unique_ptr<FontInstance>>> FInstances;
};

std::shared_ptr<Resolved> Engine::Resolve(const std::string& name, bool bold, bool italic) {
  // Length first, so that no name can pose as another name plus flags.
  std::string key = std::to_string(name.size()) + ':' + name;
  key += bold ? 'b' : '-';
  key += italic ? 'i' : '-';
  for (auto it = FResolved.begin(); it != FResolved.end(); ++it) {
    if (it->first == key) {
      FResolved.splice(FResolved.begin(), FResolved, it);
      return FResolved.front().second;
    }
  }
  auto r = std::make_shared<Resolved>();
  if (FConfig) {
    r->Request = FcPatternCreate();
    FcPatternAddString(r->Request, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(r->Request, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(r->Request, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(FConfig, r->Request, FcMatchPattern);
    FcDefaultSubstitute(r->Request);
    FcResult result = FcResultNoMatch;
    r->Candidates = FcFontSort(FConfig, r->Request, FcTrue, nullptr, &result);
  }
  FResolved.emplace_front(std::move(key), r);
  if (FResolved.size() > kMaxResolvedNames) FResolved.pop_back();
  return r;
}

bool SetEm(FT_Face face, double em) {
  const auto em26 = static_cast<FT_F26Dot6>(std::lround(em * 64.0));
  if (FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(em26, 1), 72, 72) == 0) return true;
  // Bitmap-only faces: take the first strike rather than nothing.
  return face->num_fixed_sizes > 0 && FT_Select_Size(face, 0) == 0;
}

std::unique_ptr<SizedFace> Engine::Open(const FaceChoice& choice, double em) {
  if (!FLibrary || choice.File.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(FLibrary, choice.File.c_str(), choice.Index, &face) != 0) return nullptr;
  auto sized = std::make_unique<SizedFace>();
  sized->Face = face;
  sized->Embolden = choice.Embolden;
  if (!SetEm(face, em)) return nullptr;
  if (choice.HasMatrix) {
    FT_Matrix m = choice.Matrix;
    FT_Set_Transform(face, &m, nullptr);
  }
  return sized;
}

// Windows-style metrics: the cell is usWinAscent + usWinDescent scaled to the
// em, and a positive height asks for exactly that cell.
void Engine::Measure(FontInstance& f, int height) {
  double winA = 0, winD = 0, ave = 0, upem = 0, strikePos = 0, strikeSize = 0;
  double ulPos = 0, ulThick = 0;
  FT_Face face = f.Primary ? f.Primary->Face : nullptr;
  if (face && FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
    upem = face->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      winA = os2->usWinAscent;
      winD = os2->usWinDescent;
      ave = os2->xAvgCharWidth;
      strikePos = os2->yStrikeoutPosition;
      strikeSize = os2->yStrikeoutSize;
    } else {
      winA = face->ascender;
      winD = -face->descender;
    }
    ulPos = face->underline_position;
    ulThick = face->underline_thickness;
  }
  if (winA + winD <= 0) {  // no usable face: a plain proportion keeps layout sane
    upem = 1000, winA = 900, winD = 200, ave = 450;
  }
  if (strikeSize <= 0) strikePos = upem * 0.26, strikeSize = upem * 0.05;
  if (ulThick <= 0) ulPos = -upem * 0.1, ulThick = upem * 0.05;

  double em;
  if (height < 0) em = -static_cast<double>(height);
  else if (height > 0) em = height * upem / (winA + winD);
  else em = kDefaultEmPixels;
  const bool clamped = em > kMaxEmPixels;
  em = std::clamp(em, 1.0, kMaxEmPixels);
  f.Em = em;
  const double scale = em / upem;
  if (height > 0 && !clamped) {
    f.M.Ascent = static_cast<int>(std::lround(height * winA / (winA + winD)));
    f.M.Descent = height - f.M.Ascent;
  } else {
    f.M.Ascent = static_cast<int>(std::lround(winA * scale));
    f.M.Descent = static_cast<int>(std::lround(winD * scale));
  }
  f.M.AveCharWidth = std::max(1, static_cast<int>(std::lround(ave * scale)));
  if (ave <= 0) f.M.AveCharWidth = std::max(1, static_cast<int>(std::lround(em * 0.45)));

  f.Underline.Thickness = std::max(1, static_cast<int>(std::lround(ulThick * scale)));
  f.Underline.Top = static_cast<int>(std::lround(-ulPos * scale - f.Underline.Thickness / 2.0));
  // Keep the underline below the baseline and inside the cell where it fits.
  f.Underline.Top = std::min(f.Underline.Top, f.M.Descent - f.Underline.Thickness);
  f.Underline.Top = std::max(f.Underline.Top, 1);
  f.StrikeOut.Thickness = std::max(1, static_cast<int>(std::lround(strikeSize * scale)));
  f.StrikeOut.Top = -static_cast<int>(std::lround(strikePos * scale));
}

FontInstance& Engine::Instance(const TFont& font) {
  const bool bold = font.HasStyle(fsBold);
  const bool italic = font.HasStyle(fsItalic);
  std::string key = std::to_string(font.Name().size()) + ':' + font.Name();
  key += bold ? 'b' : '-';
  key += italic ? 'i' : '-';
  key += std::to_string(font.Height());
  for (auto it = FInstances.begin(); it != FInstances.end(); ++it) {
    if (it->first == key) {
      if (it != FInstances.begin()) FInstances.splice(FInstances.begin(), FInstances, it);
      return *FInstances.front().second;
    }
  }

  auto f = std::make_unique<FontInstance>();
  f->Names = Resolve(font.Name(), bold, italic);
  // The em size depends on the face's metrics when the height is a cell
  // height, so open once at a nominal size, measure, then size for real.
  FcFontSet* set = f->Names->Candidates;
  FaceChoice chosen;
  for (int i = 0; set && i < set->nfont && !f->Primary; ++i) {
    chosen = ChoiceFrom(FConfig, f->Names->Request, set->fonts[i]);
    f->Primary = Open(chosen, kDefaultEmPixels);
  }
  Measure(*f, font.Height());
  if (f->Primary) {
    SetEm(f->Primary->Face, f->Em);
    f->PrimaryFile = chosen.File;
    f->PrimaryIndex = chosen.Index;
  }
  FInstances.emplace_front(std::move(key), std::move(f));
  if (FInstances.size() > kMaxFontInstances) FInstances.pop_back();
  return *FInstances.front().second;
}

SizedFace* Engine::FallbackFor(FontInstance& f, char32_t cp) {
  FcFontSet* set = f.Names->Candidates;
  for (int i = 0; set && i < set->nfont; ++i) {
    FcCharSet* cs = nullptr;
    if (FcPatternGetCharSet(set->fonts[i], FC_CHARSET, 0, &cs) != FcResultMatch || !cs ||
        !FcCharSetHasChar(cs, cp))
      continue;
    FaceChoice c = ChoiceFrom(FConfig, f.Names->Request, set->fonts[i]);
    if (c.File == f.PrimaryFile && c.Index == f.PrimaryIndex) continue;
    auto key = std::make_pair(c.File, c.Index);
    auto it = f.Fallbacks.find(key);
    if (it == f.Fallbacks.end()) it = f.Fallbacks.emplace(key, Open(c, f.Em)).first;
    if (it->second && FT_Get_Char_Index(it->second->Face, cp) != 0) return it->second.get();
  }
  return nullptr;
}

void Render(SizedFace& sized, FT_UInt index, Glyph& g) {
  FT_Face face = sized.Face;
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return;
  FT_GlyphSlot slot = face->glyph;
  if (sized.Embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Embolden(slot);
  g.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.width == 0 || bm.rows == 0) return;
  g.Left = slot->bitmap_left;
  g.Top = slot->bitmap_top;
  g.Width = static_cast<int>(bm.width);
  g.Rows = static_cast<int>(bm.rows);
  g.Coverage.assign(static_cast<size_t>(g.Width) * g.Rows, 0);
  for (int y = 0; y < g.Rows; ++y) {
    const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
    uint8_t* dst = g.Coverage.data() + static_cast<size_t>(y) * g.Width;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      const unsigned grays = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
      for (int x = 0; x < g.Width; ++x)
        dst[x] = grays == 255 ? src[x] : static_cast<uint8_t>(src[x] * 255u / grays);
    } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (int x = 0; x < g.Width; ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    } else {
      g.Coverage.clear();
      g.Width = g.Rows = 0;
      return;
    }
  }
  // Most of a glyph's box is empty; blending only the inked part of each row
  // roughly halves the drawing time.
  g.Spans.assign(static_cast<size_t>(g.Rows) * 2, 0);
  for (int y = 0; y < g.Rows; ++y) {
    const uint8_t* row = g.Coverage.data() + static_cast<size_t>(y) * g.Width;
    int a = 0, b = g.Width;
    while (a < b && row[a] == 0) ++a;
    while (b > a && row[b - 1] == 0) --b;
    g.Spans[2 * y] = a;
    g.Spans[2 * y + 1] = b;
  }
}

bool IsControl(char32_t cp) { return cp < 0x20 || cp == 0x7F; }

const Glyph& Engine::GetGlyph(FontInstance& f, char32_t cp) {
  auto it = f.Glyphs.find(cp);
  if (it != f.Glyphs.end()) return it->second;
  if (f.GlyphBytes > kMaxGlyphBytesPerFont || f.Glyphs.size() >= kMaxGlyphsPerFont) {
    f.Glyphs.clear();
    f.GlyphBytes = 0;
  }
  Glyph g;
  if (!IsControl(cp) && f.Primary) {
    SizedFace* face = f.Primary.get();
    FT_UInt index = FT_Get_Char_Index(face->Face, cp);
    if (index == 0) {
      if (SizedFace* fb = FallbackFor(f, cp)) {
        face = fb;
        index = FT_Get_Char_Index(fb->Face, cp);
      }
    }
    Render(*face, index, g);  // index 0 draws the primary face's missing-glyph box
  }
  f.GlyphBytes += g.Coverage.size() + g.Spans.size() * sizeof(int) + sizeof(Glyph);
  return f.Glyphs.emplace(cp, std::move(g)).first->second;
}

// ---------------------------------------------------------------- layout

struct Item {
  char32_t Cp;
  int X;        // pen position relative to the line start
  int Advance;  // 0 for tabs and control characters
};

struct Line {
  std::u32string Chars;
  int Prefix = -1;  // index of the character whose prefix underline is drawn
  std::vector<Item> Items;
  int Width = 0;
};

// Splits into lines at CR, LF and CR LF (unless single-line) and strips "&"
// prefixes: "&&" is one "&", "&x" marks x for underlining (the last one of a
// line wins), "&" before a line break vanishes, and an "&" that ends the text
// is drawn as it is (as Windows does).
std::vector<Line> SplitLines(const std::u32string& text, unsigned flags) {
  std::vector<Line> lines;
  const bool prefix = (flags & DT_NOPREFIX) == 0;
  const bool single = (flags & DT_SINGLELINE) != 0;
  Line cur;
  bool open = false;  // cur holds a line that has not been pushed yet
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (!single && (c == U'\r' || c == U'\n')) {
      lines.push_back(std::move(cur));
      cur = Line();
      open = false;
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      continue;
    }
    open = true;
    if (prefix && c == U'&' && i + 1 < text.size()) {
      if (text[i + 1] == U'&') {
        cur.Chars.push_back(U'&');
        ++i;
      } else {
        cur.Prefix = static_cast<int>(cur.Chars.size());
      }
      continue;
    }
    cur.Chars.push_back(c);
  }
  if (open) lines.push_back(std::move(cur));
  return lines;
}

int Advance(Engine& e, FontInstance& f, char32_t c, int x, unsigned flags) {
  if (c == U'\t' && (flags & DT_EXPANDTABS)) {
    const int tab = 8 * f.M.AveCharWidth;
    return (x / tab + 1) * tab;
  }
  if (IsControl(c)) return x;
  return x + e.GetGlyph(f, c).Advance;
}

void Place(Engine& e, FontInstance& f, Line& line, unsigned flags) {
  line.Items.clear();
  line.Items.reserve(line.Chars.size());
  int x = 0;
  for (char32_t c : line.Chars) {
    const int next = Advance(e, f, c, x, flags);
    line.Items.push_back(Item{c, x, next - x});
    x = next;
  }
  line.Width = x;
}

// Greedy word wrap at spaces; a word wider than the rectangle stays whole.
std::vector<Line> WrapLines(Engine& e, FontInstance& f, std::vector<Line> lines, int width,
                            unsigned flags) {
  std::vector<Line> out;
  for (Line& line : lines) {
    size_t start = 0;
    const std::u32string& s = line.Chars;
    do {
      int x = 0;
      size_t i = start, breakAt = std::string::npos;
      for (; i < s.size(); ++i) {
        if (s[i] == U' ' && i > start) breakAt = i;
        const int next = Advance(e, f, s[i], x, flags);
        if (next > width && breakAt != std::string::npos && s[i] != U' ') break;
        x = next;
      }
      size_t end = i < s.size() ? breakAt : s.size();
      Line piece;
      piece.Chars = s.substr(start, end - start);
      if (line.Prefix >= static_cast<int>(start) && line.Prefix < static_cast<int>(end))
        piece.Prefix = line.Prefix - static_cast<int>(start);
      out.push_back(std::move(piece));
      start = end;
      while (start < s.size() && s[start] == U' ') ++start;
    } while (start < s.size());
  }
  return out;
}

struct Colour {
  uint8_t R, G, B;
};

Colour ToColour(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return Colour{GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)};
}

void FillRows(Surface& s, const TRect& clip, int left, int right, int top, int bottom,
              Colour c) {
  left = std::max(left, clip.Left);
  right = std::min(right, clip.Right);
  top = std::max(top, clip.Top);
  bottom = std::min(bottom, clip.Bottom);
  if (left >= right) return;
  for (int y = top; y < bottom; ++y) s.FillSpan(left, y, right - left, c.R, c.G, c.B);
}

void Blit(Surface& s, const TRect& clip, const Glyph& g, int penX, int baseline, Colour c) {
  if (g.Coverage.empty()) return;
  const int x0 = penX + g.Left, y0 = baseline - g.Top;
  const int cx0 = std::max(x0, clip.Left), cx1 = std::min(x0 + g.Width, clip.Right);
  const int cy0 = std::max(y0, clip.Top), cy1 = std::min(y0 + g.Rows, clip.Bottom);
  if (cx0 >= cx1) return;
  for (int y = cy0; y < cy1; ++y) {
    const int row = y - y0;
    const int a = std::max(cx0, x0 + g.Spans[2 * row]);
    const int b = std::min(cx1, x0 + g.Spans[2 * row + 1]);
    if (a >= b) continue;
    const uint8_t* cov = g.Coverage.data() + static_cast<size_t>(row) * g.Width + (a - x0);
    s.BlendSpan(a, y, cov, b - a, c.R, c.G, c.B);
  }
}

// Draws one placed line with the top of its cell at (x, top).
void DrawLine(Engine& e, FontInstance& f, const TFont& font, Surface& s, const TRect& clip,
              const Line& line, int x, int top, Background bg) {
  const int height = f.M.Height();
  if (top >= clip.Bottom || top + height <= clip.Top) return;
  if (bg.Opaque) FillRows(s, clip, x, x + line.Width, top, top + height, ToColour(bg.Color));
  const Colour ink = ToColour(font.Color());
  const int baseline = top + f.M.Ascent;
  // Ink can overhang its advance (italics, wide glyphs); an em of slack is plenty.
  const int slack = static_cast<int>(f.Em) + 2;
  for (const Item& it : line.Items) {
    if (IsControl(it.Cp) || it.Cp == U' ') continue;
    const int pen = x + it.X;
    if (pen > clip.Right + slack || pen + it.Advance < clip.Left - slack) continue;
    Blit(s, clip, e.GetGlyph(f, it.Cp), pen, baseline, ink);
  }
  auto stroke = [&](int from, int to, const Stroke& st) {
    FillRows(s, clip, from, to, baseline + st.Top, baseline + st.Top + st.Thickness, ink);
  };
  if (font.HasStyle(fsUnderline)) stroke(x, x + line.Width, f.Underline);
  if (font.HasStyle(fsStrikeOut)) stroke(x, x + line.Width, f.StrikeOut);
  if (line.Prefix >= 0 && line.Prefix < static_cast<int>(line.Items.size())) {
    const Item& it = line.Items[line.Prefix];
    stroke(x + it.X, x + it.X + it.Advance, f.Underline);
  }
}

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

}  // namespace

// ---------------------------------------------------------------- public

FontMetrics Metrics(const TFont& font) {
  Engine& e = Engine::Get();
  std::lock_guard<std::mutex> lock(e.Mutex);
  return e.Instance(font).M;
}

std::string ResolvedFile(const TFont& font) {
  Engine& e = Engine::Get();
  std::lock_guard<std::mutex> lock(e.Mutex);
  return e.Instance(font).PrimaryFile;
}

int DrawText(const TFont& font, Surface* target, const std::string& utf8, TRect& r,
             unsigned flags, Background background) {
  Engine& e = Engine::Get();
  std::lock_guard<std::mutex> lock(e.Mutex);
  FontInstance& f = e.Instance(font);
  const int lineHeight = f.M.Height();
  const bool single = (flags & DT_SINGLELINE) != 0;

  std::vector<Line> lines = SplitLines(DecodeUtf8(utf8), flags);
  if (lines.empty()) {
    // Nothing to draw; a single-line measure still reports one line's height.
    if (flags & DT_CALCRECT) {
      r.Right = r.Left;
      r.Bottom = r.Top + (single ? lineHeight : 0);
    }
    return 0;
  }
  if ((flags & DT_WORDBREAK) && !single) lines = WrapLines(e, f, std::move(lines), r.Width(), flags);
  int maxWidth = 0;
  for (Line& line : lines) {
    Place(e, f, line, flags);
    maxWidth = std::max(maxWidth, line.Width);
  }
  const int total = lineHeight * static_cast<int>(lines.size());

  int top = r.Top;
  if (single && (flags & DT_VCENTER)) top = r.Top + r.Height() / 2 - lineHeight / 2;
  else if (single && (flags & DT_BOTTOM)) top = r.Bottom - lineHeight;

  if (flags & DT_CALCRECT) {
    r.Right = r.Left + maxWidth;
    r.Bottom = r.Top + total;
    return total;
  }
  if (target) {
    const TRect bounds{0, 0, target->Width, target->Height};
    const TRect clip = (flags & DT_NOCLIP) ? bounds : Intersect(r, bounds);
    if (!clip.IsEmpty()) {
      int y = top;
      for (const Line& line : lines) {
        int x = r.Left;
        if (flags & DT_CENTER) x = (r.Left + r.Right - line.Width) / 2;
        else if (flags & DT_RIGHT) x = r.Right - line.Width;
        DrawLine(e, f, font, *target, clip, line, x, y, background);
        y += lineHeight;
      }
    }
  }
  return (top - r.Top) + total;
}

int TextWidth(const TFont& font, const std::string& utf8) {
  Engine& e = Engine::Get();
  std::lock_guard<std::mutex> lock(e.Mutex);
  FontInstance& f = e.Instance(font);
  int x = 0;
  for (char32_t c : DecodeUtf8(utf8)) x = Advance(e, f, c, x, 0);
  return x;
}

void TextOut(const TFont& font, Surface& target, int x, int y, const std::string& utf8,
             Background background) {
  Engine& e = Engine::Get();
  std::lock_guard<std::mutex> lock(e.Mutex);
  FontInstance& f = e.Instance(font);
  Line line;
  line.Chars = DecodeUtf8(utf8);
  Place(e, f, line, 0);
  const TRect bounds{0, 0, target.Width, target.Height};
  DrawLine(e, f, font, target, bounds, line, x, y, background);
}

}  // namespace kltext
