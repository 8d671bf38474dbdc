// klaptor-gif: inspect, re-encode, optimise and unpack GIF files.
//
//   klaptor-gif info FILE.gif              structure and every warning
//   klaptor-gif recode IN.gif OUT.gif      load and save again (--rle: run-length coder)
//   klaptor-gif frames IN.gif DIR          each frame's own pixels as PAM (RGB_ALPHA)
//
// Exit status: 0 success, 1 a file could not be read or written, 2 bad usage.
// Errors are one line on stderr: "klaptor-gif: FILE: message".
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/GifOptimizeCommand.h"
#include "gif/GIFImage.h"

namespace {

const char kUsage[] =
    "Usage: klaptor-gif info FILE.gif\n"
    "       klaptor-gif recode IN.gif OUT.gif [--rle]\n"
    "       klaptor-gif optimize IN.gif OUT.gif [--palette] [--merge] [--crop] [--cleanup] [--colormaps]\n"
    "       klaptor-gif frames IN.gif DIR\n"
    "\n"
    "  info      print the file's structure: version, logical screen, colour tables,\n"
    "            and per frame its bounds, local table, interlacing and extension\n"
    "            blocks (delay, disposal, transparency, loop count, comments);\n"
    "            then every warning the reader gave, one per line\n"
    "  recode    load IN and write it to OUT with the LZW coder (--rle: run-length coder)\n"
    "  optimize  make an animation smaller without changing what it shows\n"
    "  frames    write each frame's own pixels to DIR/frame-NNN.pam (RGB_ALPHA;\n"
    "            the transparent colour index has alpha 0)\n";

// Thrown for a bad command line: message, then exit status 2.
struct UsageError {
  std::string Message;
};

// Reads a document, gathering its warnings in order. Raises what the reader raises.
struct LoadedDocument {
  TGIFImage Doc;
  std::vector<std::string> Warnings;
};

// A failed operation, its message already naming the file.
struct Failure {
  std::string Message;
};

// Runs Op; an error becomes a Failure naming Path (file errors name it already).
template <class F>
void OnFile(const std::string& Path, F Op) {
  try {
    Op();
  } catch (const EStreamError& e) {
    throw Failure{e.Message()};
  } catch (const Exception& e) {
    throw Failure{Path + ": " + e.Message()};
  }
}

void Load(LoadedDocument& L, const std::string& Path) {
  L.Doc.OnWarning = [&L](void*, int, const std::string& Message) { L.Warnings.push_back(Message); };
  OnFile(Path, [&] { L.Doc.LoadFromFile(Path); });
}

std::string YesNo(bool V) { return V ? "yes" : "no"; }

// Printable form of text from a file: other bytes become \xNN.
std::string Quote(const std::string& S) {
  std::string out = "\"";
  for (unsigned char c : S) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out + "\"";
}

// The version text at the start of the file ("87a", "89a", ...), where the
// reader found the signature: at 0, or 4 bytes further.
std::string FileVersion(const std::string& Path) {
  std::ifstream f(Path, std::ios::binary);
  char b[10] = {};
  f.read(b, sizeof b);
  for (int at : {0, 4}) {
    if (std::toupper(static_cast<unsigned char>(b[at])) != 'G' ||
        std::toupper(static_cast<unsigned char>(b[at + 1])) != 'I' ||
        std::toupper(static_cast<unsigned char>(b[at + 2])) != 'F')
      continue;
    const std::string v(b + at + 3, 3);
    return v == "87a" || v == "89a" ? v : Quote(v);
  }
  return "?";
}

void PrintExtension(TGIFExtension* E) {
  if (auto* g = dynamic_cast<TGIFGraphicControlExtension*>(E)) {
    std::printf("  graphic control: delay %u, disposal %d, user input %s, transparent ", g->Delay(),
                static_cast<int>(g->Disposal()), YesNo(g->UserInput()).c_str());
    if (g->Transparent())
      std::printf("%u\n", g->TransparentColorIndex());
    else
      std::printf("none\n");
  } else if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(E)) {
    std::printf("  loop: %s", Quote(l->IdentifierString()).c_str());
    if (l->Loops() == 0)
      std::printf(", forever");
    else
      std::printf(", %u times", l->Loops());
    if (l->BufferSize() > 0) std::printf(", buffer %d", l->BufferSize());
    std::printf("\n");
  } else if (auto* u = dynamic_cast<TGIFUnknownAppExtension*>(E)) {
    size_t bytes = 0;
    for (const auto& b : u->Blocks()) bytes += b->Size();
    std::printf("  application: %s, %zu sub-blocks, %zu bytes\n", Quote(u->IdentifierString()).c_str(),
                u->Blocks().size(), bytes);
  } else if (auto* a = dynamic_cast<TGIFApplicationExtension*>(E)) {
    std::printf("  application: %s\n", Quote(a->IdentifierString()).c_str());
  } else if (auto* c = dynamic_cast<TGIFCommentExtension*>(E)) {
    std::printf("  comment: %d lines\n", c->Text().Count());
    for (int i = 0; i < c->Text().Count(); ++i) std::printf("    %s\n", Quote(c->Text()[i]).c_str());
  } else if (auto* t = dynamic_cast<TGIFTextExtension*>(E)) {
    std::printf("  plain text: grid %d,%d %dx%d, cell %ux%u, colours %u on %u, %d lines\n", t->Left(), t->Top(),
                t->GridWidth(), t->GridHeight(), t->CharWidth(), t->CharHeight(), t->ForegroundColorIndex(),
                t->BackgroundColorIndex(), t->Text().Count());
    for (int i = 0; i < t->Text().Count(); ++i) std::printf("    %s\n", Quote(t->Text()[i]).c_str());
  } else {
    std::printf("  extension: label 0x%02X\n", E->ExtensionType());
  }
}

int Info(const std::vector<std::string>& Args) {
  if (Args.size() != 1) throw UsageError{"info takes one file"};
  const std::string& path = Args[0];
  LoadedDocument l;
  Load(l, path);
  TGIFImage& doc = l.Doc;
  TGIFHeader& h = doc.Header();
  std::printf("file: %s\n", path.c_str());
  std::printf("version: %s\n", FileVersion(path).c_str());
  std::printf("screen: %dx%d\n", h.Width(), h.Height());
  std::printf("background index: %u\n", h.BackgroundColorIndex());
  std::printf("aspect ratio: %u\n", h.AspectRatio());
  std::printf("colour resolution: %d bits\n", ((h.PackedFields() >> 4) & 7) + 1);
  const TGIFGlobalColorMap& gm = h.ColorMap();
  if (gm.Count() > 0)
    std::printf("global colour table: %d entries, sorted %s\n", gm.Count(), YesNo((h.PackedFields() & 0x08) != 0).c_str());
  else
    std::printf("global colour table: none\n");
  std::printf("frames: %d\n", doc.Images().Count());
  for (int i = 0; i < doc.Images().Count(); ++i) {
    TGIFSubImage* f = doc.Images()[i];
    if (f->Empty()) {
      std::printf("frame %d: no image\n", i);
    } else {
      std::printf("frame %d: %dx%d at %d,%d, ", i, f->Width(), f->Height(), f->Left(), f->Top());
      if (f->ColorMap().Count() > 0)
        std::printf("local colour table %d entries", f->ColorMap().Count());
      else
        std::printf("no local colour table");
      std::printf(", interlaced %s\n", YesNo(f->Interlaced()).c_str());
    }
    for (int e = 0; e < f->Extensions().Count(); ++e) PrintExtension(f->Extensions()[e]);
  }
  std::printf("warnings: %zu\n", l.Warnings.size());
  for (const std::string& w : l.Warnings) std::printf("warning: %s\n", w.c_str());
  return 0;
}

void PrintWarnings(const std::string& Path, const std::vector<std::string>& Warnings) {
  for (const std::string& w : Warnings) std::fprintf(stderr, "klaptor-gif: %s: warning: %s\n", Path.c_str(), w.c_str());
}

int Recode(const std::vector<std::string>& Args) {
  std::vector<std::string> files;
  bool rle = false;
  for (const std::string& a : Args) {
    if (a == "--rle")
      rle = true;
    else if (a.rfind("--", 0) == 0)
      throw UsageError{"recode: unknown option '" + a + "'"};
    else
      files.push_back(a);
  }
  if (files.size() != 2) throw UsageError{"recode takes an input and an output file"};
  LoadedDocument l;
  Load(l, files[0]);
  PrintWarnings(files[0], l.Warnings);
  l.Doc.SetCompression(rle ? gcRLE : gcLZW);
  OnFile(files[1], [&] { l.Doc.SaveToFile(files[1]); });
  return 0;
}

int Optimize(const std::vector<std::string>& Args) { return GifOptimizeCommand(Args); }

// One frame's own pixels (not composed over earlier frames) as a PAM file.
void WritePam(const std::string& Path, TGIFSubImage& F) {
  TGIFColorMap& map = F.ActiveColorMap();
  const int transparent = F.Transparent() && F.GraphicControlExtension() != nullptr
                              ? F.GraphicControlExtension()->TransparentColorIndex()
                              : -1;
  std::vector<uint8_t> px(static_cast<size_t>(F.DataSize()) * 4);
  const uint8_t* src = F.Data();
  for (int i = 0; i < F.DataSize(); ++i) {
    const int c = src[i];
    uint8_t* d = &px[static_cast<size_t>(i) * 4];
    if (c < map.Count()) {
      const TGIFColor& e = map.Entry(c);
      d[0] = e.Red;
      d[1] = e.Green;
      d[2] = e.Blue;
    } else if (map.Count() == 0) {
      d[0] = d[1] = d[2] = static_cast<uint8_t>(c);  // no colour table at all: the index as grey
    } else {
      d[0] = d[1] = d[2] = 0;  // beyond the table
    }
    d[3] = c == transparent ? 0 : 255;
  }
  const std::string header = "P7\nWIDTH " + std::to_string(F.Width()) + "\nHEIGHT " + std::to_string(F.Height()) +
                             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  TFileStream out(Path, fmCreate);
  out.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
  out.WriteBuffer(px.data(), static_cast<int64_t>(px.size()));
  out.Flush();
}

int Frames(const std::vector<std::string>& Args) {
  if (Args.size() != 2) throw UsageError{"frames takes an input file and a directory"};
  LoadedDocument l;
  Load(l, Args[0]);
  PrintWarnings(Args[0], l.Warnings);
  const std::filesystem::path dir(Args[1]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw Failure{Args[1] + ": cannot create directory: " + ec.message()};
  int written = 0;
  for (int i = 0; i < l.Doc.Images().Count(); ++i) {
    TGIFSubImage* f = l.Doc.Images()[i];
    if (f->Empty()) continue;  // extension blocks only
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03d.pam", i);
    const std::string path = (dir / name).string();
    OnFile(path, [&] { WritePam(path, *f); });
    ++written;
  }
  std::printf("%d frames written to %s\n", written, Args[1].c_str());
  return 0;
}

struct Command {
  const char* Name;
  int (*Run)(const std::vector<std::string>& Args);
};

const Command kCommands[] = {
    {"info", Info},
    {"recode", Recode},
    {"optimize", Optimize},
    {"frames", Frames},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("klaptor-gif %s\n", KLAPTOR_VERSION);
    return 0;
  }
  const Command* cmd = nullptr;
  for (const Command& c : kCommands)
    if (std::strcmp(argv[1], c.Name) == 0) cmd = &c;
  if (cmd == nullptr) {
    std::fprintf(stderr, "klaptor-gif: unknown command '%s'; see --help\n", argv[1]);
    return 2;
  }
  try {
    return cmd->Run(std::vector<std::string>(argv + 2, argv + argc));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "klaptor-gif: %s; see --help\n", e.Message.c_str());
    return 2;
  } catch (const Failure& e) {
    std::fprintf(stderr, "klaptor-gif: %s\n", e.Message.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "klaptor-gif: %s\n", e.what());
    return 1;
  }
}
