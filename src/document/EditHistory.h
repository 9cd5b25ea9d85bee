#pragma once
// EditHistory: the undo history of one document. A step keeps the banner file bytes of the
// document before and after its change, so undoing or redoing restores exactly what was there,
// whatever kind the change was. The history is bounded by memory: once its steps hold more
// than the budget, the oldest go first (the newest step always stays).
#include <QByteArray>
#include <QString>
#include <QUndoStack>
#include <functional>

class CBannerDoc;

class EditHistory {
public:
    static constexpr qint64 kDefaultBudget = qint64(64) << 20;

    explicit EditHistory(CBannerDoc &doc);
    ~EditHistory();
    EditHistory(const EditHistory &) = delete;
    EditHistory &operator=(const EditHistory &) = delete;

    QUndoStack &Stack() { return m_stack; }
    const QUndoStack &Stack() const { return m_stack; }

    // Forgets every step; the document as it is now is the clean state (after a new or a read).
    // A document that was never saved as it is now (a banner recovered after a crash) has no
    // clean state: it is marked modified, and no undo or redo makes it unmodified.
    void Reset(bool saved = true);
    // What a step also restores outside the document (true: undone, false: redone).
    using Outside = std::function<void(bool undone)>;
    // Takes the change just made to the document as one step named `text`; a call that finds
    // the document as the last step left it records nothing. `outside` puts back what the
    // change set beyond the banner's bytes.
    void Record(const QString &text, Outside outside = {});
    // The document as it is now was saved.
    void MarkSaved();
    void Undo();
    void Redo();

    // The banner file bytes of the document as the history last saw it (after the last step,
    // undo, redo, reset or save): a snapshot that costs nothing to copy.
    const QByteArray &State() const { return m_state; }

    // Bytes the steps hold, and the bound they are kept under.
    qint64 Bytes() const { return m_bytes; }
    qint64 Budget() const { return m_budget; }
    void SetBudget(qint64 bytes);

private:
    class Step;
    void Apply(const QByteArray &state);
    void Trim();

    CBannerDoc &m_doc;
    QUndoStack m_stack;
    QByteArray m_state; // the document as the history last saw it
    qint64 m_bytes = 0;
    qint64 m_budget = kDefaultBudget;
};
