#pragma once
// The frames of a banner walked into the pages of its GIF: rendered one at a time in order, their
// colours decided (GifColours::ExportColours), and every page after the first trimmed to what
// changed. Long banners are walked in two runs of frames at once, the later run on a thread of
// its own; the pages and colours come out exactly as from one run.
#include <functional>

class CBannerDoc;
class ImagingControl;

namespace GifFrameWalk {

enum class Outcome { Ready, Stopped, NoTransparentColor };

// Walks the document's frames (at least two) into `file`'s page list, which StartRendering has
// emptied: the pages as written, with the transparent colour set. The first run renders through
// `render` (prepared by StartRendering), a later one through a control of its own; `oneRun`
// keeps to the calling thread. pageDone(k) reports k frames done (both walks together count as
// one pass) on the calling thread and says whether to go on.
Outcome Walk(const CBannerDoc &doc, ImagingControl &render, ImagingControl &file, bool dither,
             const std::function<bool(int)> &pageDone, bool oneRun = false);

// Banners of at least `frames` frames are walked in two runs even on one core and when asked for
// one run (for tests, which compare both ways); 0 restores the default: banners of 16 frames or
// more, on a machine with a second core.
void SetMinFramesToSplit(int frames);

} // namespace GifFrameWalk
