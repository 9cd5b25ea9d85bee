#pragma once
// ImagingControl: the one raster engine of the system. It holds a bitmap, a page list
// (animation frames) and the drawing, text and display settings; it draws, reads and writes
// pictures, and it converts between bitmap pixels and control (window) pixels. The application
// keeps four hidden instances (RenderCtrl, FileCtrl, StampCtrl, WorkCtrl); views show a visible
// one through ImagingWindow, which feeds the window size, scroll position and mouse input in and
// shows WindowSurface(). Everything here is headless (Qt Gui, no widgets).
//
// Behaviours the callers rely on:
// - Coordinates are pixels (CoordinateUnits 3) and passed as floats; a float position is
//   truncated toward zero, a float size is rounded to the nearest pixel.
// - Page list: while one exists (PageCount() > 0), every bitmap property, bitmap operation and
//   drawing acts on the page that PageIndex selects, and BitmapHandle reads/replaces that page.
//   Without a page list they act on the control's single bitmap. The page attributes
//   (PageDelay, PageLeft, ... PageUserPaletteEntry) belong to the bitmap in either case, so
//   setting PageDelay on a control without pages and then inserting its BitmapHandle into
//   another control's page list carries the delay along.
// - InsertPage copies the bitmap it is given; SetPageList(0) empties the list and drops the
//   bitmap too.
// - ReduceColors acts on every page of a page list (one palette shared by all pages); CountColors
//   counts the selected page.
// - After LoadFile of a GIF, BackColor is the GIF's background colour (white when it has none).
// - GetAsDIB without a bitmap returns an empty block. SetFromDIB of a block it cannot read
//   clears the bitmap and returns an error, so a frame rendered from it shows FillColor on a
//   fresh bitmap, never the previous picture.
// - A page delay above 655,350 ms is written to a GIF as the GIF maximum (65535 cs).
// - Text is measured at a logical 96 dots per inch whatever the screen: Size points give
//   round(Size * 96 / 72) pixels of character height, so editor, command-line tool and tests
//   draw identical pixels. "Arial" resolves through fontconfig (Liberation Sans).
// - Shapes are drawn pixel-exact without antialiasing; DrawMode 6 inverts every pixel of the
//   figure exactly once, so drawing a figure twice restores the picture. Text is antialiased.
// - Persistent drawing (DrawPersistent true) lands in the bitmap in bitmap pixels; otherwise it
//   lands on the window surface in control pixels and vanishes at the next Repaint.
#include "platform/Colorref.h"
#include "platform/imaging/ImagingTypes.h"
#include "platform/imaging/PackedDib.h"

#include <QFont>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
namespace GifCodec {
struct Animation;
}

class ImagingControl : public QObject {
    Q_OBJECT
public:
    explicit ImagingControl(QObject *parent = nullptr);
    ~ImagingControl() override;

    // ---- Bitmap -------------------------------------------------------------------------
    // Only 3 (pixels) is meaningful; the value is kept and read back.
    int CoordinateUnits() const { return m_coordinateUnits; }
    void SetCoordinateUnits(int units) { m_coordinateUnits = units; }

    // A copy of the current bitmap with its page attributes (see ImagingBitmap). Putting a
    // handle into a control copies the picture into it; an empty handle ({}) discards the
    // picture (on a page list: the selected page's picture).
    ImagingBitmap BitmapHandle() const;
    void SetBitmapHandle(const ImagingBitmap &handle);
    bool HasBitmap() const;

    float BitmapWidth() const;
    float BitmapHeight() const;
    // A new bitmap of the given size, white. Pictures are held at 24 bits whatever bits says
    // (1..32 are accepted). Sizes outside Dib::SizeAcceptable give ImagingErrArgument.
    int CreateBitmap(float width, float height, int bits = 24);
    // Fills the whole bitmap with the colour.
    int FillColor(COLORREF color);
    // Replaces the bitmap by the picture in the block. An empty block clears the bitmap (0).
    // A block that cannot be read clears the bitmap and gives ImagingErrFormat.
    int SetFromDIB(const PackedDib &dib);
    // The bitmap as a new 24-bit block owned by the caller; an empty block without a bitmap.
    PackedDib GetAsDIB() const;
    // Scales the bitmap to width x height: flags 0 takes the nearest pixel, any other value
    // (2 is what the callers pass) resamples smoothly.
    int ResizeBitmap(float width, float height, int flags = 0);
    // Crops the bitmap to the rectangle (clipped to the bitmap). Nothing left: ImagingErrArgument.
    int TrimBitmap(float left, float top, float width, float height);
    // Combines a width x height block of src, from (srcLeft, srcTop), into the bitmap at
    // (left, top), clipped to both pictures, without scaling. Operations:
    //   800  copy; when src carries a region only the region's pixels are copied;
    //   1024 XOR of the two pictures (black where equal);
    //   1280 per-channel absolute difference (black where equal).
    // Comparing with either gives black exactly where the pictures agree, so RegionFromColor(0, 6)
    // after either yields the bounding rectangle of the differing pixels.
    int CombineBitmap(float left, float top, float width, float height, const ImagingBitmap &src,
                      float srcLeft, float srcTop, int operation);
    // The background colour: fills the text box behind opaque text, and after loading a GIF
    // is the GIF's background colour. Default white.
    COLORREF BackColor() const { return m_backColor; }
    void SetBackColor(COLORREF color) { m_backColor = color; }

    // Direct pixel access standing in for a bitmap device context: the current bitmap
    // (Format_RGB32, 0xffRRGGBB per pixel; keep the alpha byte 0xff) or nullptr without one.
    // Read and write through scanLine()/bits() or paint with a QPainter; call ReleaseBitmapDC
    // afterwards (it repaints the window when RepaintOnChange is on). The pointer stays valid
    // until the next call that replaces the bitmap or changes the page list.
    QImage *GetBitmapDC();
    void ReleaseBitmapDC();

    // ---- Pages --------------------------------------------------------------------------
    // True while a page list exists. SetPageList(0) empties it and drops the bitmap; other
    // values are ignored (pages come from InsertPage and LoadFile).
    bool PageList() const { return !m_pages.empty(); }
    void SetPageList(int value);
    int PageCount() const { return int(m_pages.size()); }
    // The selected page; an index outside 0..PageCount()-1 is ignored.
    int PageIndex() const { return m_pageIndex; }
    void SetPageIndex(int index);
    // Inserts a copy of the bitmap at index (-1 or PageCount() appends). The first page of a
    // new list becomes the selected one (the control's own bitmap is dropped then); otherwise
    // the same page stays selected. An empty
    // bitmap or an index outside -1..PageCount() gives ImagingErrArgument.
    int InsertPage(int index, const ImagingBitmap &bitmap);
    // Removes a page (not a member the callers name; used by tests and tools).
    int DeletePage(int index);

    int PageDelay() const { return Cur().delayMs; }
    void SetPageDelay(int ms) { CurMut().delayMs = ms < 0 ? 0 : ms; }
    int PageLeft() const { return Cur().left; }
    void SetPageLeft(int left) { CurMut().left = left; }
    int PageTop() const { return Cur().top; }
    void SetPageTop(int top) { CurMut().top = top; }
    int PageDisposal() const { return Cur().disposal; }
    void SetPageDisposal(int disposal) { CurMut().disposal = disposal < 0 || disposal > 3 ? 0 : disposal; }
    // After a GIF load: a transparent page's transparent pixels have PageTransparentColor and
    // no other pixel has it; a page without transparency gets a PageTransparentColor none of
    // its pixels has, so RegionFromColor(PageTransparentColor(), 6) selects the whole page.
    bool PageTransparent() const { return Cur().transparent; }
    void SetPageTransparent(bool on) { CurMut().transparent = on; }
    COLORREF PageTransparentColor() const { return Cur().transparentColor; }
    void SetPageTransparentColor(COLORREF color) { CurMut().transparentColor = color & 0xFFFFFF; }
    // The selected page's palette (after ReduceColors or a GIF load): entry i, 0 outside it.
    // Setting entry i recolours the pixels of the old entry's colour; setting the entry just
    // past the end (or further) extends the palette (gaps black). After ReduceColors every page
    // holds the shared palette, so entries 0..PaletteSize()-1 of any page cover the colours of
    // all pages (a page's CountColors can be smaller than PaletteSize()).
    COLORREF PaletteEntry(int index) const;
    void SetPaletteEntry(int index, COLORREF color);
    int PaletteSize() const { return Cur().palette.size(); }
    // Colours the palette must keep: ReduceColors and SaveFile keep every page's user palette
    // entries as exact palette colours (pixels map to them only when they have that colour).
    COLORREF PageUserPaletteEntry(int index) const;
    void SetPageUserPaletteEntry(int index, COLORREF color);
    // Reduces every page (or the bitmap) to at most 2^bits colours with one shared palette
    // (libimagequant); pages that together have no more colours than that keep every pixel.
    // The user palette entries of all pages are kept as exact colours. dither, paletteOption
    // and order are accepted for the callers' sake: ColorDithering decides the remapping and
    // the palette is always optimised for the pictures. bits outside 1..8: ImagingErrArgument.
    int ReduceColors(int bits, int dither = 0, int paletteOption = 0, int order = 0);
    // Exact number of distinct colours of the selected page (or the bitmap); 0 without one.
    int CountColors() const;

    bool AnimationLoop() const { return m_animationLoop; }
    void SetAnimationLoop(bool on) { m_animationLoop = on; }
    // How many times a GIF's loop block says to repeat, 0 for ever; read by LoadFile, written
    // by SaveFile with AnimationLoop on, and the repeats a looping animation plays.
    int AnimationLoopCount() const { return m_animationLoopCount; }
    void SetAnimationLoopCount(int count) { m_animationLoopCount = std::clamp(count, 0, 65535); }
    // Setting true plays the page list from page 0: each page shows for its delay (at least
    // 10 ms), at its offset, with its disposal and transparency; with AnimationLoop on it
    // repeats (AnimationLoopCount times, or for ever at 0), then it stops on the last page,
    // turns false and raises AnimationStopped.
    bool AnimationRunning() const { return m_animationRunning; }
    void SetAnimationRunning(bool on);

    // Selects the pixels of the current bitmap by colour: mode 6 selects the pixels that are
    // NOT of the colour, any other mode those that are. Replaces a previous region.
    int RegionFromColor(COLORREF color, int mode);
    // The bounding rectangle of the region; all 0 without a region or with an empty one.
    float RegionLeft() const;
    float RegionTop() const;
    float RegionWidth() const;
    float RegionHeight() const;
    void FreeRegion();

    // ---- Display ------------------------------------------------------------------------
    // The window the control is shown in: ImagingWindow sets its size and scroll position.
    // Without a window (size 0 x 0, the hidden controls) there is no window surface: drawing
    // that is not persistent does nothing and Repaint only raises event 1.
    void SetWindowSize(int width, int height);
    int WindowWidth() const { return m_windowWidth; }
    int WindowHeight() const { return m_windowHeight; }
    // Scroll position in control pixels, clamped to 0..ScrollRange*. Raises event 3 on change.
    void SetScrollPosition(int x, int y);
    int ScrollX() const { return m_scrollX; }
    int ScrollY() const { return m_scrollY; }
    // How far the displayed bitmap extends beyond the window (0 when it fits).
    int ScrollRangeX() const;
    int ScrollRangeY() const;

    // Zoom in percent; values that are not positive numbers are ignored. Default 100.
    float ZoomPercent() const { return m_zoomPercent; }
    void SetZoomPercent(float percent);
    // How the bitmap is scaled into the window, always from its top-left corner (see
    // DisplaySizeModes); other values are ignored. Default DisplayZoomed.
    enum DisplaySizeModes {
        DisplayActualSize = 0, // bitmap pixels 1:1, whatever ZoomPercent says
        DisplayFitWindow = 1,  // as large as the window holds, keeping the aspect ratio
        DisplayZoomed = 4,     // at ZoomPercent
    };
    int DisplaySizeMode() const { return m_displaySizeMode; }
    void SetDisplaySizeMode(int mode);
    // The zoom the window shows the bitmap at in the current mode (100 for actual size, and for
    // fitting while there is no window or bitmap); what drawing on the window scales with.
    float EffectiveZoomPercent() const;
    // The displayed bitmap's size if the window were windowWidth x windowHeight (fitting depends
    // on it), so ImagingWindow can decide on scroll bars before resizing the control.
    QSizeF DisplaySizeFor(int windowWidth, int windowHeight) const;
    // Where the bitmap appears in the window: DisplayLeft/Top = minus the scroll position,
    // DisplayWidth/Height = bitmap size x effective zoom. The source rectangle is the whole bitmap.
    float DisplayLeft() const { return -float(m_scrollX); }
    float DisplayTop() const { return -float(m_scrollY); }
    float DisplayWidth() const;
    float DisplayHeight() const;
    float SourceLeft() const { return 0.0f; }
    float SourceTop() const { return 0.0f; }
    float SourceWidth() const { return BitmapWidth(); }
    float SourceHeight() const { return BitmapHeight(); }
    // On: a change of the bitmap or of the zoom repaints the window at once.
    bool RepaintOnChange() const { return m_repaintOnChange; }
    void SetRepaintOnChange(bool on) { m_repaintOnChange = on; }
    // Kept and read back for ImagingWindow, which shows scroll bars when the bitmap overflows.
    bool ShowScrollBars() const { return m_showScrollBars; }
    void SetShowScrollBars(bool on);
    // 57 on (default): each Repaint paints the window outside the bitmap; off: that area keeps what was drawn.
    bool DisplayOption57() const { return m_displayOption57; }
    void SetDisplayOption57(bool on) { m_displayOption57 = on; }
    // 237 on: zooms other than 100 % are smoothed (bilinear); off (default): nearest pixel, exact for editing.
    bool DisplayOption237() const { return m_displayOption237; }
    void SetDisplayOption237(bool on);
    // While false, the control raises no mouse events.
    bool Enabled20() const { return m_enabled20; }
    void SetEnabled20(bool on) { m_enabled20 = on; }

    // Renders the scaled bitmap into the window surface (see DisplayOption57 for elsewhere),
    // raises event 1 synchronously so the owner draws over it, then SurfaceChanged. Without
    // smoothing, pixel (x, y) of the surface shows bitmap pixel ClientToBitmap(x, y).
    void Repaint();
    // Cursor codes: 0 default, 1 arrow, 2 cross, 5 move, 6 size NE-SW, 7 size N-S, 8 size
    // NW-SE, 9 size W-E. Raises CursorChanged.
    int MouseCursor() const { return m_mouseCursor; }
    void SetMouseCursor(int cursor);

    // The window surface (Format_RGB32, the window's size) standing in for a window device
    // context, or nullptr without a window. ReleaseWindowDC raises SurfaceChanged.
    QImage *GetWindowDC();
    void ReleaseWindowDC();
    const QImage &WindowSurface() const { return m_surface; }
    // The colour of the window around the bitmap.
    static constexpr QRgb kWindowBackground = 0xFF808080;

    // Bitmap pixels <-> control pixels with the effective zoom, display and source origin, in
    // single precision, truncated toward zero. Rectangles convert corner by corner through
    // their coordinates (QRect::getCoords), without normalising.
    QPoint BitmapToClient(QPoint p) const;
    QRect BitmapToClient(const QRect &r) const;
    QPoint ClientToBitmap(QPoint p) const;
    QRect ClientToBitmap(const QRect &r) const;

    // Called by ImagingWindow (and tests) to raise the mouse events.
    void RaiseMouseDown(int button, int shift, int x, int y);
    void RaiseMouseMove(int button, int shift, int x, int y);
    void RaiseMouseUp(int button, int shift, int x, int y);
    void RaiseDblClick();

    // ---- Drawing ------------------------------------------------------------------------
    bool DrawPersistent() const { return m_drawPersistent; }
    void SetDrawPersistent(bool on) { m_drawPersistent = on; }
    // 6 inverts the pixels of the figure (pen and fill alike, colours ignored); every other
    // value paints with the pen and fill colours. Default 13.
    int DrawMode() const { return m_drawMode; }
    void SetDrawMode(int mode) { m_drawMode = mode; }
    COLORREF DrawPenColor() const { return m_penColor; }
    void SetDrawPenColor(COLORREF c) { m_penColor = c & 0xFFFFFF; }
    // Pen width in pixels of the target; 0 (and 1) draw one pixel wide; negative draws nothing
    // of the outline.
    int DrawPenWidth() const { return m_penWidth; }
    void SetDrawPenWidth(int w) { m_penWidth = w; }
    // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot (one-pixel pens), 5 no outline.
    int DrawPenStyle() const { return m_penStyle; }
    void SetDrawPenStyle(int s) { m_penStyle = s; }
    COLORREF DrawFillColor() const { return m_fillColor; }
    void SetDrawFillColor(COLORREF c) { m_fillColor = c & 0xFFFFFF; }
    // 0 solid, 1 no fill, 2 horizontal, 3 vertical, 4 diagonal down, 5 diagonal up, 6 cross,
    // 7 diagonal cross hatching.
    int DrawFillStyle() const { return m_fillStyle; }
    void SetDrawFillStyle(int s) { m_fillStyle = s; }

    // A line from (x1, y1) to (x2, y2); the end point itself is not drawn with a one-pixel pen
    // (so consecutive segments of a stroke meet without a doubled pixel under DrawMode 6).
    // Wider pens have round ends.
    int DrawLineShape(float x1, float y1, float x2, float y2);
    // The rectangle of pixels left .. left+width-1, top .. top+height-1 (a negative width or
    // height spans the two corners the same way). The fill covers it; a one-pixel outline is
    // its border, wider pens are centred on that border.
    int DrawRectangleShape(float left, float top, float width, float height);
    // The ellipse inscribed in the same rectangle.
    int DrawEllipseShape(float left, float top, float width, float height);

    // The Qt font text of this font is drawn with (Size points at 96 dots per inch); QFontInfo
    // of it names the face that is really used when the machine lacks the named one.
    static QFont TextFont(const ImagingFont &font);
    ImagingFont &Font() { return m_font; }
    const ImagingFont &Font() const { return m_font; }
    COLORREF DrawTextColor() const { return m_textColor; }
    void SetDrawTextColor(COLORREF c) { m_textColor = c & 0xFFFFFF; }
    float TextBoxLeft() const { return m_textBox[0]; }
    void SetTextBoxLeft(float v) { m_textBox[0] = v; }
    float TextBoxTop() const { return m_textBox[1]; }
    void SetTextBoxTop(float v) { m_textBox[1] = v; }
    float TextBoxWidth() const { return m_textBox[2]; }
    void SetTextBoxWidth(float v) { m_textBox[2] = v; }
    float TextBoxHeight() const { return m_textBox[3]; }
    void SetTextBoxHeight(float v) { m_textBox[3] = v; }
    // 0 left, 1 centred, 2 right; lines always start at the top of the box.
    int TextAlignment() const { return m_textAlignment; }
    void SetTextAlignment(int a) { m_textAlignment = a; }
    // 0 and 1 transparent (only the glyphs are drawn); 2 and 3 opaque: the text box is filled
    // with BackColor first.
    int TextBackgroundMode() const { return m_textBackgroundMode; }
    void SetTextBackgroundMode(int m) { m_textBackgroundMode = m; }
    // Draws the text into the text box from its top-left corner, a new line at each CR LF
    // (a lone CR or LF also breaks), clipped to the box. flags: 0 no wrapping; 1 wraps long
    // lines at word boundaries. An empty or inverted box draws nothing.
    int DrawTextInRect(const QString &text, int flags = 0);

    // ---- Files --------------------------------------------------------------------------
    // Reads the size and format of a picture file without decoding it (page is ignored).
    int ReadFileInfo(const QString &path, int page = 0);
    float InfoWidth() const { return m_infoWidth; }
    float InfoHeight() const { return m_infoHeight; }
    int InfoFormat() const { return m_infoFormat; }
    // Loads pages of a picture file at 24 bits. page is 1-based (0 also means the first page);
    // count -1 loads every page from there, otherwise that many. Loading one page (count 1)
    // leaves the control without a page list and the picture in its bitmap; for a GIF that
    // page is placed at its offset on the logical screen over the GIF's background colour.
    // Loading several pages fills the page list with each page at its own size and offset
    // (GIF pages cut to the logical screen; one wholly outside it has no picture),
    // with delay, disposal, transparency and palette, selects page 0 and sets AnimationLoop
    // from the GIF's loop block. GIF goes through giflib, everything else through Qt's image
    // readers. Results: ImagingErrOpen, ImagingErrFormat, ImagingErrTruncated,
    // ImagingErrTooLarge, ImagingErrNoPages; on failure the control is unchanged.
    int LoadFile(const QString &path, int bits = 24, int page = 0, int count = -1);
    // Reads every page of a GIF file for a caller that composes the pages itself: `take` gets
    // each page in order, with its index and the number of pages, as LoadFile would put it in the
    // page list but for its picture: that stays at 8 bits (Format_Indexed8), its colour table
    // the page's `palette`, whose colours are those of LoadFile's 24-bit picture. The read stops
    // when `take` returns false; each page's pixels go once it was handed over. The page list is
    // emptied; BackColor, AnimationLoop, AnimationLoopCount and LoadDamage are set as by LoadFile
    // before the first page. Results as LoadFile, and ImagingErrFormat for a file that is not a GIF.
    using GifPageTaker = std::function<bool(int index, int count, const ImagingBitmap &page)>;
    int ReadGifPages(const QString &path, const GifPageTaker &take);
    // After a GIF LoadFile that succeeded on a damaged file (cut inside a page): why it ended
    // early (ImagingErrTruncated); the pages before the damage were loaded. 0 otherwise.
    int LoadDamage() const { return m_loadDamage; }
    // The memory a GIF LoadFile may use for its pages; a file needing more gives ImagingErrBudget
    // before its pages are decoded.
    qint64 MemoryBudget() const { return m_memoryBudget; }
    void SetMemoryBudget(qint64 bytes) { m_memoryBudget = std::max<qint64>(0, bytes); }
    // Writes the page list (or the bitmap) to a file. Format ImagingFormatGif writes every page
    // with its attributes and, with AnimationLoop on, a loop block of AnimationLoopCount, at bits bits per
    // pixel (1..8; pages with more colours are reduced for the file only). BMP, PNG, JPEG
    // (quality 1..100, 0 default), TIFF and WebP write the bitmap through Qt. The file is
    // replaced only when every byte was written.
    int SaveFile(const QString &path, int format, int bits, int quality = 0, int flags = 0);
    // The bytes SaveFile(path, ImagingFormatGif, bits) would write, in memory; *pageBytes, when
    // given, receives each page's share of them.
    int EncodeGif(int bits, QByteArray *out, std::vector<int> *pageBytes = nullptr);
    // GIF writing only: 0 codes every page exactly; n > 0 lets the LZW coding absorb pixels whose
    // palette colour differs by at most n in every channel from what the code shows there.
    int GifLossy() const { return m_gifLossy; }
    void SetGifLossy(int level) { m_gifLossy = std::clamp(level, 0, 255); }
    // GIF writing only: on, the global palette is ordered by how many pages use each colour, so
    // pages code with narrow indices; user palette entries then keep their colours exact but
    // not their indices.
    bool GifCompactPalette() const { return m_gifCompactPalette; }
    void SetGifCompactPalette(bool on) { m_gifCompactPalette = on; }
    // On, ReduceColors (and the GIF export's reductions of pages with too many colours) spread
    // the error of the colours they replace over the neighbouring pixels; off, each colour maps
    // to its nearest entry alone. Pictures whose colours fit are never changed.
    bool ColorDithering() const { return m_colorDithering; }
    void SetColorDithering(bool on) { m_colorDithering = on; }
    // Why the last SaveFile gave ImagingErrWrite, in the system's words ("No space left on
    // device", "the file is read-only"); empty after a success.
    QString FileErrorString() const { return m_fileError; }

signals:
    // Event 1 after each Repaint, event 3 when the visible area changed (window size or scroll
    // position), so the owner repaints.
    void ControlEvent(int eventId);
    void MouseDown(int button, int shift, int x, int y);
    void MouseMove(int button, int shift, int x, int y);
    void MouseUp(int button, int shift, int x, int y);
    void DblClick();
    // The window surface changed; ImagingWindow updates the screen.
    void SurfaceChanged();
    void CursorChanged(int cursor);
    void AnimationStopped();
    // The display geometry changed (bitmap size, zoom, scroll): scroll bars need updating.
    void DisplayChanged();

private:
    const ImagingBitmap &Cur() const;
    ImagingBitmap &CurMut();
    // After the bitmap changed: repaint when RepaintOnChange and there is a window.
    void BitmapChanged();
    // Drawing target: the bitmap (persistent) or the window surface; nullptr when neither.
    QImage *DrawTarget();
    // Rectangles and ellipses: the box spanned from its corner, covered, then applied.
    int DrawBoxFigure(float left, float top, float width, float height, bool ellipse);
    void AfterDraw();
    void ClampScroll();
    // Window pixels per bitmap pixel, in single precision: the one place the scale comes from.
    float ScaleFor(int windowWidth, int windowHeight) const;
    float Scale() const { return ScaleFor(m_windowWidth, m_windowHeight); }
    void PaintNearest(const QImage &picture, float scale);
    void PaintSmooth(const QImage &picture, float scale);
    void AnimationStep();
    void ShowAnimationPage(int index);
    int LoadGif(const QByteArray &bytes, int firstPage, int count);
    int ReadGifBytes(const QString &path, QByteArray *bytes);
    void TakeAnimationInfo(const GifCodec::Animation &anim, bool loop);
    int LoadOther(const QString &path, int firstPage, int count);
    int SaveGif(const QString &path, int bits);
    int m_gifLossy = 0;
    bool m_gifCompactPalette = false;
    bool m_colorDithering = false;

    int m_coordinateUnits = 3;
    ImagingBitmap m_bitmap;                 // the bitmap when there is no page list
    std::vector<ImagingBitmap> m_pages;
    int m_pageIndex = 0;
    COLORREF m_backColor = 0xFFFFFF;

    bool m_animationLoop = false;
    int m_animationLoopCount = 0;
    QString m_fileError;
    int m_loadDamage = 0;
    qint64 m_memoryBudget = 1024ll * 1024 * 1024;
    bool m_animationRunning = false;
    int m_animationPage = 0;
    int m_animationRepeats = 0; // of the running animation, so far
    QImage m_animationCanvas;
    QTimer *m_animationTimer = nullptr;

    int m_windowWidth = 0, m_windowHeight = 0;
    int m_scrollX = 0, m_scrollY = 0;
    float m_zoomPercent = 100.0f;
    int m_displaySizeMode = DisplayZoomed;
    bool m_repaintOnChange = true;
    bool m_showScrollBars = false;
    bool m_displayOption57 = true;
    bool m_displayOption237 = false;
    bool m_enabled20 = true;
    int m_mouseCursor = 0;
    QImage m_surface;

    bool m_drawPersistent = false;
    int m_drawMode = 13;
    COLORREF m_penColor = 0;
    int m_penWidth = 1;
    int m_penStyle = 0;
    COLORREF m_fillColor = 0xFFFFFF;
    int m_fillStyle = 0;
    ImagingFont m_font;
    COLORREF m_textColor = 0;
    float m_textBox[4] = {0, 0, 0, 0};
    int m_textAlignment = 0;
    int m_textBackgroundMode = 0;

    float m_infoWidth = 0, m_infoHeight = 0;
    int m_infoFormat = ImagingFormatUnknown;
};
