#include "gui/HelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

QString HelpAnchor(int context) {
  switch (context) {
    case 230:
    case 240:
    case 250:
    case 440:
      return QStringLiteral("ctx%1").arg(context);
    default:
      return QStringLiteral("contents");
  }
}

QString HelpHtml() {
  return QStringLiteral(R"(
<a name="contents"></a><h2>Klaptor</h2>
<p>Klaptor turns lines of text into a looping animated GIF that looks like a
split-flap board: each new line folds down over the previous one around a hinge
in the middle of the picture.</p>
<ul>
<li><a href="#make">Making a GIF</a></li>
<li><a href="#ctx440">Timing: frame interval, line frames, hinge size, time per line, continuous</a></li>
<li><a href="#ctx240">Width</a> and <a href="#ctx230">Height</a></li>
<li><a href="#ctx250">GIF size optimisation</a></li>
<li><a href="#look">Font, colours and background picture</a></li>
<li><a href="#files">Flip files</a></li>
<li><a href="#keys">Keys</a></li>
</ul>

<a name="make"></a><h3>Making a GIF</h3>
<ol>
<li>Type your text into the text area at the right, one line per flip. The
display plays the lines while you type; the line under the caret is shown at
once.</li>
<li>Set the size, timing, font and colours (see below). <b>Wrap to Fit</b>
breaks long lines so that each fits the display's width.</li>
<li>Press <b>Render Animated GIF</b> on the toolbar (or Appearance, Render GIF).
Every frame of every fold is captured; the progress bar shows how far it is.
<b>Cancel Gif Rendering</b> stops it between two frames.</li>
<li>When the frames are done and optimised, choose where to save the GIF.</li>
</ol>
<p>The GIF loops for ever. Each line lasts the time per line: the fold takes
<i>Line Frames</i> frames of <i>Frame Interval</i> each, and the last frame of
a line holds it for the rest.</p>

<a name="ctx440"></a><h3>Timing</h3>
<p><b>Frame Interval (ms)</b>: the waiting time before the next frame of a
fold. Smaller is smoother and faster.</p>
<p><b>Line Frames</b>: the number of frames of one fold. More frames make a
smoother fold and a bigger GIF.</p>
<p><b>Hinge Size</b>: the thickness in pixels of the hinge line across the
middle of the picture.</p>
<p><b>Time per line (ms)</b>: the total time each line is shown, fold
included.</p>
<p><b>Continuous</b>: the next line starts folding as soon as the previous fold
has finished; the time per line is then not used (its field is disabled) and
the last frame of each line gets no extra delay in the GIF.</p>
<p>A field that does not hold a number is ignored; the display keeps its last
value.</p>

<a name="ctx240"></a><h3>Width</h3>
<p>The width of the display and of the GIF, in pixels. Type a value or drag the
yellow tape beside the field: the number at the top edge of the tape is the
width. Pulling the tape up makes the display wider, down narrower.</p>

<a name="ctx230"></a><h3>Height</h3>
<p>The height of the display and of the GIF, in pixels, set like the width
with its own yellow tape. Decimal values are rounded to whole pixels.</p>

<a name="ctx250"></a><h3>GIF size optimisation</h3>
<p><b>Palette</b>: one global colour map for the whole animation instead of one
per frame.</p>
<p><b>Merge</b>: pixels that repeat the frame beneath become transparent, so
they compress to almost nothing.</p>
<p><b>Crop</b>: transparent borders are cut off each frame.</p>
<p>None of these changes what the animation shows; they only make the file
smaller. Rendering takes a little longer with them.</p>

<a name="look"></a><h3>Font, colours and background picture</h3>
<p>The toolbar buttons change the font, the font colour, the hinge colour and
the background colour, and load or clear a background picture (a .bmp file).
<b>Bitmap Stretch to Fit</b> stretches the picture over the whole display. The
three alignment buttons place the text left, centred or right.</p>

<a name="files"></a><h3>Flip files</h3>
<p>A flip file (.Flp) keeps the settings, colours, font, background picture
path, optimisation switches and text. Open and save it from the File menu or
the toolbar; <code>klaptor FILE.Flp</code> opens one at start, and a flip file
dropped on the window is opened too.</p>

<a name="keys"></a><h3>Keys</h3>
<table>
<tr><td>Ctrl+O</td><td>Open a flip file</td></tr>
<tr><td>Ctrl+S</td><td>Save the flip file</td></tr>
<tr><td>Ctrl+Shift+S</td><td>Save the flip file under a new name</td></tr>
<tr><td>Ctrl+Q</td><td>Exit</td></tr>
<tr><td>F1</td><td>Help on the field that has the focus</td></tr>
</table>
)");
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Klaptor Help"));
  resize(520, 460);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  FBrowser = new QTextBrowser(this);
  FBrowser->setOpenLinks(true);
  FBrowser->setOpenExternalLinks(false);
  FBrowser->setHtml(HelpHtml());
  layout->addWidget(FBrowser);
}

void THelpWindow::ShowContext(int context) {
  FContext = context;
  show();
  raise();
  activateWindow();
  FBrowser->scrollToAnchor(HelpAnchor(context));
}
