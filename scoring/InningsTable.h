#pragma once
// The score sheet: an in-memory table of innings, one row per inning with the nullable
// points of player 1 (field 0, Pts1) and player 2 (field 1, Pts2), in insertion order.
//
// A table object is a cursor over a row store. `Feuille` owns the store; `Clone` is made
// a second cursor over the same store with cloneCursor(), so it sees every change at once
// but moves on its own. Only the owner of the store keeps aggregates and runs the
// after-post / after-delete hooks.
//
// Cursor flags: first() sets bof and clears eof; last() sets eof and clears bof; next() on
// the last row sets eof without moving, prior() on the first row sets bof without moving;
// every next() clears bof, every prior() clears eof, and a step that moves clears both.
// An empty table has both flags set whatever the move.
//
// Every move, emptyTable() and saveToFile() first end an edit in progress: a changed row
// is posted (running the after-post hook), an unchanged one is dropped.
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct InningRow {
    std::optional<qint32> pts[2];
    bool operator==(const InningRow &o) const { return pts[0] == o.pts[0] && pts[1] == o.pts[1]; }
    bool operator!=(const InningRow &o) const { return !(*this == o); }
};

enum class Aggregate { Total1, Reprises1, Serie1, Total2, Reprises2, Serie2 };

class InningsTable : public QObject {
    Q_OBJECT
public:
    static constexpr int Pts1 = 0;
    static constexpr int Pts2 = 1;

    explicit InningsTable(QObject *parent = nullptr);
    ~InningsTable() override;

    // --- opening -------------------------------------------------------------
    void openEmpty();                        // two fields, no row
    // Replaces the rows by the file's; throws AppError (French text) when the file cannot
    // be read or is not a backup of ours, leaving the table as it was.
    void loadFromFile(const QString &path);
    // Ends an edit, then writes every row durably (temp file, sync, rename, sync of the
    // folder); throws AppError on failure, the file on disk then keeps its former content.
    void saveToFile(const QString &path);
    void cloneCursor(InningsTable &source); // this becomes a second cursor over source's rows
    bool isOpen() const;

    // --- cursor ------------------------------------------------------------------
    void first();
    void last();
    void next();
    void prior();
    // Makes row `recNo` (1-based) current, for the grid's selection; ends an edit first.
    // Clears both flags unless the table is empty.
    void moveTo(int recNo);
    bool bof() const;
    bool eof() const;
    bool isEmpty() const { return bof() && eof(); } // exactly when there is no row
    int recordCount() const;
    int recNo() const;                       // 1-based position of the current row, 0 when empty

    // --- editing -----------------------------------------------------------------
    void edit();          // edit the current row; on an empty table start a new row
    bool isEditing() const;
    void setField(int field, qint32 value);  // on the row being edited
    void clearField(int field);
    void post();          // store the edited row, then the after-post hook; cursor stays
    void cancel();        // drop the edit
    void appendEmpty();   // add (null, null) after the last row, make it current, post it
    void deleteCurrent(); // remove the current row, then the after-delete hook
    void emptyTable();    // remove every row; no hook

    // --- the current row (the edit buffer while editing) --------------------------
    bool isNull(int field) const;            // true on an empty table
    qint32 asInteger(int field) const;       // a null reads 0
    QString asText(int field) const;         // a null reads ""

    // --- aggregates over the non-null values; null while a column holds none ------
    std::optional<qint64> aggregate(Aggregate a) const;

    // Read-only view of the stored rows (the edit buffer is not in it until posted).
    const std::vector<InningRow> &rows() const;

    // Hooks of the owner of the rows; they run synchronously and may throw (a failed
    // save): the table is already consistent when they are called.
    std::function<void()> afterPost;
    std::function<void()> afterDelete;

signals:
    // For views over the owner: emitted after the store changed.
    void rowsReset();
    void rowInserted(int index);   // 0-based
    void rowRemoved(int index);
    void rowChanged(int index);
    void currentChanged(int index); // 0-based, -1 when empty

private:
    struct Store;
    std::shared_ptr<Store> m_store;
    int m_cur = -1;      // index of the current row, -1 when empty
    bool m_bof = true;
    bool m_eof = true;
    bool m_editing = false;
    bool m_inserting = false;
    bool m_modified = false;
    InningRow m_buffer;
    bool m_isOwner = true;

    void endEdit();
    void clampCursor();
    void setCurrent(int index);
};
