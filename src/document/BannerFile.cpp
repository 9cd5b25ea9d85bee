#include "document/BannerFile.h"

#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "document/MemoryBudget.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/AtomicFile.h"
#include "platform/ByteIO.h"
#include "platform/Prompts.h"
#include "platform/Win1252.h"
#include "resource.h"
#include "StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <map>
#include <vector>

namespace BannerFile {
namespace {

constexpr int kMagicSize = 29;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTagBit = 0x8000;
constexpr std::uint16_t kLargeIndexTag = 0x7FFF;
constexpr std::uint32_t kLargeClassTagBit = 0x80000000u;
constexpr std::size_t kMaxClassName = 64;
// The smallest records, to check counts against the bytes that are left before allocating.
constexpr std::size_t kMinFrameRecord = 16;
constexpr std::size_t kMinItemEntry = 2 + 58;
constexpr std::size_t kPointRecord = 8;

const std::array<std::string_view, 5> kItemClasses = {"CSprite", "CText", "CStamp", "CPrimitiveGraphics",
                                                      "CPolyline"};

// Where the reserved words R1..R7 (declaration order) stand in the record: R4 R1 R2 R3 R6 R7 R5.
constexpr std::array<int, 7> kReservedFileOrder = {3, 0, 1, 2, 5, 6, 4};

// ---- Writing -------------------------------------------------------------------------------

void WriteCountedString(ByteWriter &w, const QString &text)
{
    const QByteArray bytes = Win1252::Encode(text);
    const std::size_t n = std::size_t(bytes.size());
    if (n < 255) {
        w.U8(std::uint8_t(n));
    } else if (n < 0xFFFE) {
        w.U8(0xFF);
        w.U16(std::uint16_t(n));
    } else {
        w.U8(0xFF);
        w.U16(0xFFFF);
        w.U32(std::uint32_t(n));
    }
    w.Bytes(bytes);
}

void WriteBlock(ByteWriter &w, const PackedDib *block)
{
    if (!block) {
        w.U32(0);
        return;
    }
    w.U32(std::uint32_t(block->Size()));
    w.Bytes(reinterpret_cast<const char *>(block->Data()), block->Size());
}

void WriteCommon(ByteWriter &w, const CSprite &s)
{
    w.I32(s.m_position.left);
    w.I32(s.m_position.top);
    w.I32(s.m_position.right);
    w.I32(s.m_position.bottom);
    w.U16(s.m_penStyle);
    w.U16(s.m_fillStyle);
    w.I16(s.m_penWidth);
    w.U32(s.m_lineColor);
    w.U32(s.m_fillColor);
    for (int r : kReservedFileOrder)
        w.U32(s.m_reserved[std::size_t(r)]);
}

void WriteItem(ByteWriter &w, const CSprite &s)
{
    WriteCommon(w, s);
    if (const auto *text = dynamic_cast<const CText *>(&s)) {
        w.Bytes(text->m_logFont.ToBytes());
        WriteCountedString(w, text->m_text);
    } else if (const auto *stamp = dynamic_cast<const CStamp *>(&s)) {
        WriteBlock(w, stamp->m_hDib.get());
    } else if (const auto *shape = dynamic_cast<const CPrimitiveGraphics *>(&s)) {
        w.I16(shape->m_shape);
        w.U32(shape->m_fill);
        if (const auto *stroke = dynamic_cast<const CPolyline *>(&s)) {
            w.U32(stroke->m_closed);
            w.U32(std::uint32_t(stroke->m_points.size()));
            for (const CPoint &p : stroke->m_points) {
                w.I32(p.x);
                w.I32(p.y);
            }
        }
    }
}

class ClassTagWriter {
public:
    void Write(ByteWriter &w, std::string_view name)
    {
        const auto it = m_indexes.find(name);
        if (it == m_indexes.end()) {
            m_indexes.emplace(name, m_next++);
            w.U16(kNewClassTag);
            w.U16(CSprite::kSchema);
            w.U16(std::uint16_t(name.size()));
            w.Bytes(name.data(), name.size());
        } else if (it->second < kLargeIndexTag) {
            w.U16(std::uint16_t(kClassTagBit | it->second));
        } else {
            w.U16(kLargeIndexTag);
            w.U32(kLargeClassTagBit | it->second);
        }
    }

private:
    std::map<std::string_view, std::uint32_t> m_indexes;
    std::uint32_t m_next = 1;
};

// ---- Reading -------------------------------------------------------------------------------

bool ReadCountedString(ByteReader &r, QString *out)
{
    bool wide = false;
    std::uint64_t n = r.U8();
    if (n == 0xFF) {
        n = r.U16();
        if (n == 0xFFFE) {
            // The wide-character form: 0xFF 0xFE 0xFF, then a length prefix of its own.
            wide = true;
            n = r.U8();
            if (n == 0xFF) {
                n = r.U16();
                if (n == 0xFFFF)
                    n = r.U32();
            }
        } else if (n == 0xFFFF) {
            n = r.U32();
        }
    }
    const std::uint64_t bytes = wide ? n * 2 : n;
    if (r.Failed() || bytes > r.Remaining())
        return false;
    const QByteArray raw = r.Bytes(std::size_t(bytes));
    if (wide) {
        QString text(qsizetype(n), Qt::Uninitialized);
        for (qsizetype i = 0; i < qsizetype(n); ++i)
            text[i] = QChar(char16_t(std::uint8_t(raw[2 * i]) | (std::uint8_t(raw[2 * i + 1]) << 8)));
        // Kept as the file's own 8-bit text would be: what Windows-1252 cannot hold becomes '?'.
        *out = Win1252::Decode(Win1252::Encode(text));
    } else {
        *out = Win1252::Decode(raw);
    }
    return !r.Failed();
}

// Where the input's bytes live: when `keep` is set, the reader reads memory that it keeps alive,
// and picture blocks stay there instead of being copied.
bool ReadBlock(ByteReader &r, const std::shared_ptr<const char> &keep, std::unique_ptr<PackedDib> *out)
{
    const std::uint32_t size = r.U32();
    if (r.Failed() || size > r.Remaining())
        return false;
    if (size == 0) {
        out->reset();
        return true;
    }
    if (keep) {
        const char *at = r.View(size);
        if (!at)
            return false;
        *out = std::make_unique<PackedDib>(keep, reinterpret_cast<const std::uint8_t *>(at), size);
        return true;
    }
    // Straight from the input into the block's own storage.
    std::vector<std::uint8_t> bytes(size);
    if (!r.CopyTo(bytes.data(), size))
        return false;
    *out = std::make_unique<PackedDib>(std::move(bytes));
    return true;
}

void ReadCommon(ByteReader &r, CSprite &s)
{
    s.m_position.left = r.I32();
    s.m_position.top = r.I32();
    s.m_position.right = r.I32();
    s.m_position.bottom = r.I32();
    s.m_penStyle = r.U16();
    s.m_fillStyle = r.U16();
    s.m_penWidth = r.I16();
    s.m_lineColor = r.U32();
    s.m_fillColor = r.U32();
    for (int i : kReservedFileOrder)
        s.m_reserved[std::size_t(i)] = r.U32();
}

bool ReadItem(ByteReader &r, const std::shared_ptr<const char> &keep, CSprite &s)
{
    ReadCommon(r, s);
    if (auto *text = dynamic_cast<CText *>(&s)) {
        const QByteArray font = r.Bytes(LOGFONT::kByteSize);
        if (r.Failed() || !text->m_logFont.FromBytes(font.constData(), std::size_t(font.size())))
            return false;
        return ReadCountedString(r, &text->m_text);
    }
    if (auto *stamp = dynamic_cast<CStamp *>(&s))
        return ReadBlock(r, keep, &stamp->m_hDib);
    if (auto *shape = dynamic_cast<CPrimitiveGraphics *>(&s)) {
        shape->m_shape = r.I16();
        shape->m_fill = r.U32();
        if (auto *stroke = dynamic_cast<CPolyline *>(&s)) {
            stroke->m_closed = r.U32() != 0 ? 1 : 0;
            const std::uint32_t count = r.U32();
            if (r.Failed() || std::uint64_t(count) * kPointRecord > r.Remaining())
                return false;
            stroke->m_points.reserve(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::int32_t x = r.I32();
                const std::int32_t y = r.I32();
                stroke->m_points.push_back({x, y});
            }
        }
    }
    return !r.Failed();
}

class ClassTagReader {
public:
    // The class name of the next item entry; empty when the tag is malformed or unknown.
    std::string_view Read(ByteReader &r)
    {
        const std::uint16_t w = r.U16();
        std::uint32_t t;
        if (w == kLargeIndexTag)
            t = r.U32();
        else
            t = (std::uint32_t(w & kClassTagBit) << 16) | (w & 0x7FFF);
        if (r.Failed() || !(t & kLargeClassTagBit))
            return {};
        if (w == kNewClassTag) {
            const std::uint16_t schema = r.U16();
            const std::uint16_t length = r.U16();
            if (r.Failed() || length >= kMaxClassName || length > r.Remaining())
                return {};
            const QByteArray name = r.Bytes(length);
            for (std::string_view known : kItemClasses) {
                if (schema == CSprite::kSchema && known == std::string_view(name.constData(), std::size_t(name.size()))) {
                    m_classes.push_back(known);
                    return known;
                }
            }
            return {};
        }
        const std::uint32_t index = t & ~kLargeClassTagBit;
        if (index < 1 || index > m_classes.size())
            return {};
        return m_classes[index - 1];
    }

private:
    std::vector<std::string_view> m_classes; // index i + 1
};

bool ReadFrame(ByteReader &r, const std::shared_ptr<const char> &keep, ClassTagReader &tags, CBannerFrame &frame)
{
    frame.m_crBackground = r.U32();
    frame.m_nDelay = r.U32();
    std::unique_ptr<PackedDib> background;
    if (!ReadBlock(r, keep, &background))
        return false;
    frame.SetBackground(std::move(background));
    const std::uint32_t count = r.U32();
    if (r.Failed() || std::uint64_t(count) * kMinItemEntry > r.Remaining())
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = tags.Read(r);
        std::unique_ptr<CSprite> item = name.empty() ? nullptr : CreateSpriteByClassName(name);
        if (!item || !ReadItem(r, keep, *item))
            return false;
        frame.AddItem(std::move(item));
    }
    return true;
}

QString FileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

ReadResult ReadFrom(CBannerDoc &doc, ByteReader &r, const std::shared_ptr<const char> &keep);

} // namespace

QByteArray Write(const CBannerDoc &doc)
{
    ByteWriter w;
    const QByteArray magic = Win1252::Encode(LoadResString(IDS_BANNER_MAGIC)).left(kMagicSize);
    w.Bytes(magic);
    for (qsizetype i = magic.size(); i < kMagicSize; ++i)
        w.U8(0);
    w.U8(0x1A);
    w.U32(doc.m_nVersionMajor);
    w.U32(doc.m_nVersionMinor);
    w.F32(doc.m_fWidth);
    w.F32(doc.m_fHeight);
    w.I32(doc.m_nCurrentFrame);
    w.U32(doc.m_crDefaultBackground);
    w.U32(doc.m_nDefaultDelay);
    w.I32(doc.m_bLoop);
    w.U32(std::uint32_t(doc.m_frames.size()));
    ClassTagWriter tags;
    for (const auto &frame : doc.m_frames) {
        w.U32(frame->m_crBackground);
        w.U32(frame->m_nDelay);
        WriteBlock(w, frame->m_hBackground.get());
        w.U32(std::uint32_t(frame->Items().size()));
        for (const auto &item : frame->Items()) {
            tags.Write(w, item->ClassName());
            WriteItem(w, *item);
        }
    }
    return w.Take();
}

ReadResult Read(CBannerDoc &doc, const QByteArray &bytes)
{
    return Read(doc, bytes.constData(), std::size_t(bytes.size()));
}

ReadResult Read(CBannerDoc &doc, const char *data, std::size_t size)
{
    ByteReader r(data, size);
    return Read(doc, r);
}

ReadResult Read(CBannerDoc &doc, ByteReader &r)
{
    return ReadFrom(doc, r, {});
}

ReadResult Read(CBannerDoc &doc, const std::shared_ptr<const char> &bytes, std::size_t size)
{
    ByteReader reader(bytes.get(), size);
    return ReadFrom(doc, reader, bytes);
}

namespace {
ReadResult ReadFrom(CBannerDoc &doc, ByteReader &r, const std::shared_ptr<const char> &keep)
{
    // The magic: its text, ended early by a NUL, must name both words.
    const std::string_view start = r.Peek(30);
    QByteArray head(start.data(), qsizetype(start.size()));
    if (const qsizetype nul = head.indexOf('\0'); nul >= 0)
        head.truncate(nul);
    if (!head.contains("Corvanta") || !head.contains("Banner"))
        return ReadResult::NotBanner;
    r.Skip(30);
    const std::uint32_t major = r.U32();
    const std::uint32_t minor = r.U32();
    if (r.Failed())
        return ReadResult::Malformed;
    if (major != doc.m_nVersionMajor || minor != doc.m_nVersionMinor)
        return ReadResult::Version;
    const float width = r.F32();
    const float height = r.F32();
    if (r.Failed())
        return ReadResult::Malformed;
    if (width != doc.m_fWidth || height != doc.m_fHeight)
        return ReadResult::Dimensions;
    const std::int32_t current = r.I32();
    const COLORREF defaultBackground = r.U32();
    const std::uint32_t defaultDelay = r.U32();
    const std::int32_t loop = r.I32();
    const std::uint32_t frameCount = r.U32();
    if (r.Failed() || std::uint64_t(frameCount) * kMinFrameRecord > r.Remaining())
        return ReadResult::Malformed;
    if (MemoryBudget::FramesNeed(frameCount, int(width), int(height)) > doc.Context().m_memoryBudget)
        return ReadResult::TooLarge;

    std::vector<std::unique_ptr<CBannerFrame>> frames;
    frames.reserve(frameCount);
    ClassTagReader tags;
    for (std::uint32_t i = 0; i < frameCount; ++i) {
        auto frame = std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, 1000);
        if (!ReadFrame(r, keep, tags, *frame))
            return ReadResult::Malformed;
        frames.push_back(std::move(frame));
    }

    // Everything read: the document takes it.
    const bool modified = doc.IsModified();
    doc.DeleteContents();
    doc.m_crDefaultBackground = defaultBackground;
    doc.m_nDefaultDelay = defaultDelay;
    doc.m_bLoop = loop;
    doc.m_frames = std::move(frames);
    // The rest of the system needs a frame and a valid current index.
    if (doc.m_frames.empty())
        doc.m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, doc.m_nDefaultDelay));
    doc.m_nCurrentFrame = std::max(0, std::min(current, doc.GetFrameCount() - 1));
    doc.SetModifiedFlag(modified);
    return ReadResult::Ok;
}
} // namespace

QString ReadFailureMessage(ReadResult result, const QString &path, qint64 budget)
{
    const QString name = FileNameOf(path);
    switch (result) {
    case ReadResult::Ok:
        return {};
    case ReadResult::NotBanner:
        return QStringLiteral("File \"%1\" is not a Corvanta Vellumark file. Cannot Open file.").arg(name);
    case ReadResult::Version:
        return QStringLiteral("File \"%1\" does not match the version number. Cannot Open file.").arg(name);
    case ReadResult::Dimensions:
        return QStringLiteral("Banner file being read has improper dimensions. Will abort read operation...");
    case ReadResult::Malformed:
        return QStringLiteral("Cannot read \"%1\": the file is damaged or not a banner file.").arg(name);
    case ReadResult::TooLarge:
        return MemoryBudget::RefusalMessage(path, budget);
    }
    return {};
}

bool ReadFile(CBannerDoc &doc, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Prompts::Instance().Message(CannotOpenMessage(path, file.errorString()), Prompts::Icon::Stop);
        return false;
    }
    const std::size_t size = std::size_t(std::max<qint64>(0, file.size()));
    ReadResult result;
    // A batch run ends soon after reading: its picture blocks stay in the file's mapping, never
    // copied. The editor keeps documents open for long, so that a change to the file made by
    // another program while it is open cannot reach them.
    if (const std::shared_ptr<const char> mapped = doc.Context().m_batch ? MapReadOnly(file.handle(), size) : nullptr) {
        result = Read(doc, mapped, size);
    } else {
        // Read as it goes: picture blocks go from the file into their own storage, never through
        // a copy of the whole file.
        ByteReader reader(&file, size);
        result = Read(doc, reader);
    }
    if (result == ReadResult::Ok)
        return true;
    Prompts::Instance().Message(ReadFailureMessage(result, path, doc.Context().m_memoryBudget), Prompts::Icon::Stop);
    return false;
}

QString CannotOpenMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open the file \"%1\": %2.").arg(FileNameOf(path), reason);
}

QString CannotSaveMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot save the file \"%1\": %2.").arg(FileNameOf(path), reason);
}

QString WrongNameMessage()
{
    return QStringLiteral("Vellumark Error ID: VKERR_SERZ_NOCODE. Please contact Corvantaplex.");
}

bool WriteFile(const CBannerDoc &doc, const QString &path)
{
    if (!FileNameOf(path).toLower().contains(QStringLiteral(".bnr"))) {
        Prompts::Instance().Message(WrongNameMessage(), Prompts::Icon::Stop);
        return false;
    }
    QString error;
    if (!AtomicFile::Write(path, Write(doc), &error)) {
        Prompts::Instance().Message(CannotSaveMessage(path, error), Prompts::Icon::Stop);
        return false;
    }
    return true;
}

}
