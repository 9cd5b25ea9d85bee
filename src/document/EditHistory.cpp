#include "document/EditHistory.h"

#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"

#include <QSignalBlocker>
#include <vector>

class EditHistory::Step : public QUndoCommand {
public:
    Step(EditHistory &history, const QString &text, QByteArray before, QByteArray after, Outside outside)
        : QUndoCommand(text), m_history(history), m_before(std::move(before)), m_after(std::move(after)),
          m_outside(std::move(outside))
    {
        // Consecutive steps share their bytes, but counting each step's own is the safe side.
        m_history.m_bytes += Cost();
    }
    ~Step() override { m_history.m_bytes -= Cost(); }

    qint64 Cost() const { return qint64(m_before.size()) + m_after.size() + text().size() * 2 + qint64(sizeof(*this)); }
    const QByteArray &Before() const { return m_before; }
    const QByteArray &After() const { return m_after; }
    const Outside &OutsidePart() const { return m_outside; }

    void undo() override
    {
        m_history.Apply(m_before);
        if (m_outside)
            m_outside(true);
    }
    void redo() override
    {
        // A step is pushed once its change is made: the push must not make it again.
        if (m_done) {
            m_done = false;
            return;
        }
        m_history.Apply(m_after);
        if (m_outside)
            m_outside(false);
    }

private:
    EditHistory &m_history;
    QByteArray m_before;
    QByteArray m_after;
    Outside m_outside;
    bool m_done = true;
};

EditHistory::EditHistory(CBannerDoc &doc) : m_doc(doc) {}

EditHistory::~EditHistory()
{
    // The steps count themselves out of m_bytes as they go: they must go before it does.
    m_stack.clear();
}

void EditHistory::Reset(bool saved)
{
    m_stack.clear();
    if (m_doc.Context().m_batch)
        return;
    m_state = BannerFile::Write(m_doc);
    if (!saved)
        m_stack.resetClean();
    m_doc.SetModifiedFlag(!saved);
}

void EditHistory::Record(const QString &text, Outside outside)
{
    if (m_doc.Context().m_batch)
        return;
    QByteArray after = BannerFile::Write(m_doc);
    if (after == m_state)
        return;
    QByteArray before = std::exchange(m_state, after);
    m_stack.push(new Step(*this, text, std::move(before), std::move(after), std::move(outside)));
    m_doc.SetModifiedFlag(!m_stack.isClean());
    Trim();
}

void EditHistory::MarkSaved()
{
    m_stack.setClean();
    if (m_doc.Context().m_batch)
        return;
    // A GIF save reloads the frames from the written file.
    m_state = BannerFile::Write(m_doc);
}

void EditHistory::Undo()
{
    m_stack.undo();
    m_doc.SetModifiedFlag(!m_stack.isClean());
}

void EditHistory::Redo()
{
    m_stack.redo();
    m_doc.SetModifiedFlag(!m_stack.isClean());
}

void EditHistory::SetBudget(qint64 bytes)
{
    m_budget = bytes;
    Trim();
}

void EditHistory::Apply(const QByteArray &state)
{
    // The bytes were written from this very document, so they read back.
    if (BannerFile::Read(m_doc, state) != BannerFile::ReadResult::Ok)
        return;
    m_state = state;
    // Every frame object was replaced.
    m_doc.UpdateAllViews(nullptr, hintCurrentFrame);
}

void EditHistory::Trim()
{
    const int count = m_stack.count();
    if (m_bytes <= m_budget || count <= 1)
        return;
    // Dropping down to seven eighths of the budget keeps rebuilding the stack rare.
    const qint64 target = m_budget - m_budget / 8;
    qint64 total = m_bytes;
    int drop = 0;
    while (drop < count - 1 && total > target) {
        total -= static_cast<const Step *>(m_stack.command(drop))->Cost();
        ++drop;
    }
    // QUndoStack cannot drop its oldest commands by itself: it is rebuilt from the kept ones,
    // which are all done (a push just dropped any redo tail). Its outward state does not change.
    struct Kept {
        QString text;
        QByteArray before, after;
        Outside outside;
    };
    std::vector<Kept> kept;
    for (int i = drop; i < count; ++i) {
        const auto *step = static_cast<const Step *>(m_stack.command(i));
        kept.push_back({step->text(), step->Before(), step->After(), step->OutsidePart()});
    }
    const int clean = m_stack.cleanIndex();
    const QSignalBlocker blocker(&m_stack);
    m_stack.clear();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (clean - drop == int(i) && i > 0)
            m_stack.setClean();
        m_stack.push(new Step(*this, kept[i].text, std::move(kept[i].before), std::move(kept[i].after),
                              std::move(kept[i].outside)));
    }
    if (clean < drop)
        m_stack.resetClean();
}
