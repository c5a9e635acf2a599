// The innings table: aggregates, cursor flags, editing, the clone cursor and the backup file.
#include "AppError.h"
#include "InningsTable.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Rows as text: "7,0 3,-" is two rows, "-" a null.
QString rowsText(const std::vector<InningRow> &rows)
{
    QStringList out;
    for (const InningRow &r : rows) {
        QStringList cells;
        for (const auto &v : r.pts)
            cells << (v ? QString::number(*v) : QStringLiteral("-"));
        out << cells.join(QLatin1Char(','));
    }
    return out.join(QLatin1Char(' '));
}

void fill(InningsTable &t, const QString &text)
{
    t.openEmpty();
    for (const QString &row : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList cells = row.split(QLatin1Char(','));
        t.appendEmpty();
        t.edit();
        for (int f = 0; f < 2; ++f)
            if (cells.value(f) != QLatin1String("-"))
                t.setField(f, cells.value(f).toInt());
        t.post();
    }
}

QString aggText(const InningsTable &t, Aggregate a)
{
    const auto v = t.aggregate(a);
    return v ? QString::number(*v) : QStringLiteral("-");
}

QString dataFile(const QString &name)
{
    return QStringLiteral(ZV_TEST_DATA "/backup/") + name;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

struct Counters {
    int posts = 0;
    int deletes = 0;
    void attach(InningsTable &t)
    {
        t.afterPost = [this] { ++posts; };
        t.afterDelete = [this] { ++deletes; };
    }
};

// Words: edit, set1=<v>, set2=<v>, clear1, clear2, post, cancel, first, last, next, prior,
// move=<n>, append, delete, empty.
void apply(InningsTable &t, const QString &op)
{
    const QString arg = op.section(QLatin1Char('='), 1);
    if (op == QLatin1String("edit"))
        t.edit();
    else if (op.startsWith(QLatin1String("set")))
        t.setField(op.mid(3, 1).toInt() - 1, arg.toInt());
    else if (op.startsWith(QLatin1String("clear")))
        t.clearField(op.mid(5).toInt() - 1);
    else if (op == QLatin1String("post"))
        t.post();
    else if (op == QLatin1String("cancel"))
        t.cancel();
    else if (op == QLatin1String("first"))
        t.first();
    else if (op == QLatin1String("last"))
        t.last();
    else if (op == QLatin1String("next"))
        t.next();
    else if (op == QLatin1String("prior"))
        t.prior();
    else if (op.startsWith(QLatin1String("move=")))
        t.moveTo(arg.toInt());
    else if (op == QLatin1String("append"))
        t.appendEmpty();
    else if (op == QLatin1String("delete"))
        t.deleteCurrent();
    else if (op == QLatin1String("empty"))
        t.emptyTable();
    else
        QTest::qFail(qPrintable(QStringLiteral("unknown op %1").arg(op)), __FILE__, __LINE__);
}

void applyAll(InningsTable &t, const QString &ops)
{
    for (const QString &op : ops.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        apply(t, op);
}

} // namespace

class TestInningsTable : public QObject {
    Q_OBJECT
private slots:
    void aggregates_data();
    void aggregates();
    void cursorFlags_data();
    void cursorFlags();
    void deleteCurrent_data();
    void deleteCurrent();
    void editing_data();
    void editing();
    void editingErrors_data();
    void editingErrors();
    void currentRowReads_data();
    void currentRowReads();
    void failingHook_leavesTableConsistent();
    void clone_movesAloneAndSeesChanges();
    void clone_leavesEditInProgressAlone();
    void clone_followsEmptyingAndRefilling();
    void clone_survivesRowsRemovedUnderIt();
    void clone_runsNoHooksAndOutlivesOwner();
    void signals_forViews();
    void save_matchesReference_data();
    void save_matchesReference();
    void load_reference_data();
    void load_reference();
    void load_replacesRowsSeenByClone();
    void save_endsEditAndReplacesFile();
    void loadErrors_data();
    void loadErrors();
    void saveErrors_data();
    void saveErrors();
};

void TestInningsTable::aggregates_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("expected"); // Total1 Reprises1 Serie1 Total2 Reprises2 Serie2
    QTest::newRow("noRow") << "" << QStringList{"-", "-", "-", "-", "-", "-"};
    QTest::newRow("oneEmptyRow") << "-,-" << QStringList{"-", "-", "-", "-", "-", "-"};
    QTest::newRow("sevenZeroThenThree") << "7,0 3,-" << QStringList{"10", "2", "7", "0", "1", "0"};
    QTest::newRow("zeroRunsCountAsPlayed") << "0,0 0,-" << QStringList{"0", "2", "0", "0", "1", "0"};
    QTest::newRow("onlyNegativeValues") << "-3,-8 -5,-" << QStringList{"-8", "2", "-3", "-8", "1", "-8"};
    QTest::newRow("nullInMiddleSkipped") << "4,- 6,2 -,9" << QStringList{"10", "2", "6", "11", "2", "9"};
    QTest::newRow("sumBeyond32Bits") << "2147483647,1 2147483647,-"
                                     << QStringList{"4294967294", "2", "2147483647", "1", "1", "1"};
}

void TestInningsTable::aggregates()
{
    QFETCH(QString, rows);
    QFETCH(QStringList, expected);
    InningsTable t;
    fill(t, rows);
    const Aggregate all[] = {Aggregate::Total1, Aggregate::Reprises1, Aggregate::Serie1,
                             Aggregate::Total2, Aggregate::Reprises2, Aggregate::Serie2};
    QStringList got;
    for (Aggregate a : all)
        got << aggText(t, a);
    QCOMPARE(got, expected);
}

void TestInningsTable::cursorFlags_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("ops");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("bof");
    QTest::addColumn<bool>("eof");
    QTest::newRow("emptyFirst") << 0 << "first" << 0 << true << true;
    QTest::newRow("emptyAnyMove") << 0 << "last next prior move=1" << 0 << true << true;
    QTest::newRow("first") << 3 << "last first" << 1 << true << false;
    QTest::newRow("last") << 3 << "first last" << 3 << false << true;
    QTest::newRow("nextOnLastSetsEofWithoutMoving") << 3 << "last next" << 3 << false << true;
    QTest::newRow("priorOnFirstSetsBofWithoutMoving") << 3 << "first prior" << 1 << true << false;
    QTest::newRow("stepThatMovesClearsBoth") << 3 << "first next" << 2 << false << false;
    QTest::newRow("priorFromLastClearsBoth") << 3 << "last prior" << 2 << false << false;
    QTest::newRow("walkPastEnd") << 3 << "first next next next" << 3 << false << true;
    QTest::newRow("oneRowNext") << 1 << "first next" << 1 << false << true;
    QTest::newRow("oneRowPrior") << 1 << "last prior" << 1 << true << false;
    QTest::newRow("moveToClearsBoth") << 4 << "first move=3" << 3 << false << false;
    QTest::newRow("moveToOutOfRangeStays") << 4 << "move=2 move=9 move=0" << 2 << false << false;
    QTest::newRow("appendClearsBoth") << 2 << "first append" << 3 << false << false;
}

void TestInningsTable::cursorFlags()
{
    QFETCH(int, rowCount);
    QFETCH(QString, ops);
    QFETCH(int, recNo);
    QFETCH(bool, bof);
    QFETCH(bool, eof);
    InningsTable t;
    t.openEmpty();
    for (int i = 0; i < rowCount; ++i)
        t.appendEmpty();
    applyAll(t, ops);
    QCOMPARE(t.recNo(), recNo);
    QCOMPARE(t.bof(), bof);
    QCOMPARE(t.eof(), eof);
    QCOMPARE(t.isEmpty(), t.recordCount() == 0);
}

void TestInningsTable::deleteCurrent_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("rowsAfter");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<QString>("currentPts1");
    const QString five = QStringLiteral("1,1 2,2 3,3 4,4 5,5");
    Q_UNUSED(five);
    QTest::newRow("thirdOfFive") << 3 << "1,1 2,2 4,4 5,5" << 3 << "4";
    QTest::newRow("firstOfFive") << 1 << "2,2 3,3 4,4 5,5" << 1 << "2";
    QTest::newRow("lastOfFive") << 5 << "1,1 2,2 3,3 4,4" << 4 << "4";
}

void TestInningsTable::deleteCurrent()
{
    QFETCH(int, position);
    QFETCH(QString, rowsAfter);
    QFETCH(int, recNo);
    QFETCH(QString, currentPts1);
    InningsTable t;
    fill(t, QStringLiteral("1,1 2,2 3,3 4,4 5,5"));
    Counters c;
    c.attach(t);
    t.moveTo(position);
    t.deleteCurrent();
    QCOMPARE(rowsText(t.rows()), rowsAfter);
    QCOMPARE(t.recNo(), recNo);
    QCOMPARE(t.asText(InningsTable::Pts1), currentPts1);
    QCOMPARE(t.aggregate(Aggregate::Reprises1), std::optional<qint64>(4));
    QCOMPARE(c.deletes, 1);
    QCOMPARE(c.posts, 0);
}

void TestInningsTable::editing_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("ops");
    QTest::addColumn<QString>("rowsAfter");
    QTest::addColumn<int>("posts");
    QTest::addColumn<int>("deletes");
    QTest::addColumn<bool>("editing");
    QTest::newRow("editOnEmptyStartsRow") << "" << "edit set1=5 post" << "5,-" << 1 << 0 << false;
    QTest::newRow("editOnEmptyUnchangedDropped") << "" << "edit last" << "" << 0 << 0 << false;
    QTest::newRow("moveEndsChangedEdit") << "1,2 3,4" << "first edit set2=9 last" << "1,9 3,4" << 1 << 0 << false;
    QTest::newRow("moveDropsUnchangedEdit") << "1,2" << "edit first" << "1,2" << 0 << 0 << false;
    QTest::newRow("moveToEndsEdit") << "1,2 3,4" << "last edit set1=0 move=1" << "1,2 0,4" << 1 << 0 << false;
    QTest::newRow("cancelDropsChanges") << "1,2" << "edit set1=8 cancel last" << "1,2" << 0 << 0 << false;
    QTest::newRow("secondEditKeepsBuffer") << "1,2" << "edit set1=8 edit post" << "8,2" << 1 << 0 << false;
    QTest::newRow("postWithoutEditDoesNothing") << "1,2" << "post" << "1,2" << 0 << 0 << false;
    QTest::newRow("explicitPostOfUnchangedRow") << "1,2" << "edit post" << "1,2" << 1 << 0 << false;
    QTest::newRow("clearBothFields") << "4,5" << "edit clear1 clear2 post" << "-,-" << 1 << 0 << false;
    QTest::newRow("editStaysUntilPost") << "4,5" << "edit set2=1" << "4,5" << 0 << 0 << true;
    QTest::newRow("appendPosts") << "1,2" << "append" << "1,2 -,-" << 1 << 0 << false;
    QTest::newRow("appendEndsEditFirst") << "1,2" << "edit set2=7 append" << "1,7 -,-" << 2 << 0 << false;
    QTest::newRow("emptyRunsNoHook") << "1,2 3,4" << "empty" << "" << 0 << 0 << false;
    QTest::newRow("emptyEndsEditFirst") << "1,2" << "edit set1=7 empty" << "" << 1 << 0 << false;
    QTest::newRow("emptyThenAppend") << "1,2" << "empty append" << "-,-" << 1 << 0 << false;
    QTest::newRow("deleteDropsEdit") << "1,2 3,4" << "last edit set1=9 delete" << "1,2" << 0 << 1 << false;
    QTest::newRow("deleteDropsRowBeingInserted") << "" << "edit set1=3 delete" << "" << 0 << 0 << false;
    QTest::newRow("undoStartOfSecondInning")
        << "5,3 -,-" << "last delete last edit clear2 post" << "5,-" << 1 << 1 << false;
}

void TestInningsTable::editing()
{
    QFETCH(QString, rows);
    QFETCH(QString, ops);
    QFETCH(QString, rowsAfter);
    QFETCH(int, posts);
    QFETCH(int, deletes);
    QFETCH(bool, editing);
    InningsTable t;
    fill(t, rows);
    Counters c;
    c.attach(t);
    applyAll(t, ops);
    QCOMPARE(rowsText(t.rows()), rowsAfter);
    QCOMPARE(c.posts, posts);
    QCOMPARE(c.deletes, deletes);
    QCOMPARE(t.isEditing(), editing);
}

void TestInningsTable::editingErrors_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("ops"); // the last one must fail
    QTest::addColumn<QString>("message");
    const QString notEditing = QStringLiteral("L'ensemble de données n'est pas en mode édition ou insertion");
    const QString closed = QStringLiteral("Impossible d'effectuer cette opération sur un ensemble de données fermé");
    QTest::newRow("setWithoutEdit") << true << "1,2" << "set1=5" << notEditing;
    QTest::newRow("clearAfterPost") << true << "1,2" << "edit set1=3 post clear2" << notEditing;
    QTest::newRow("fieldIndexOutOfRange") << true << "1,2" << "edit set3=1" << "Index de champ hors limites (2)";
    QTest::newRow("negativeFieldIndex") << true << "1,2" << "edit clear0" << "Index de champ hors limites (-1)";
    QTest::newRow("deleteOnEmptyTable")
        << true << "" << "delete" << "Impossible d'effectuer cette opération sur un ensemble de données vide";
    QTest::newRow("editClosed") << false << "" << "edit" << closed;
    QTest::newRow("appendClosed") << false << "" << "append" << closed;
    QTest::newRow("deleteClosed") << false << "" << "delete" << closed;
}

void TestInningsTable::editingErrors()
{
    QFETCH(bool, open);
    QFETCH(QString, rows);
    QFETCH(QString, ops);
    QFETCH(QString, message);
    InningsTable t;
    if (open)
        fill(t, rows);
    QStringList steps = ops.split(QLatin1Char(' '));
    const QString failing = steps.takeLast();
    applyAll(t, steps.join(QLatin1Char(' ')));
    const QString before = rowsText(t.rows());
    try {
        apply(t, failing);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(rowsText(t.rows()), before);
    QCOMPARE(t.isOpen(), open);
}

void TestInningsTable::currentRowReads_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("ops");
    QTest::addColumn<QStringList>("reads"); // isNull, asInteger, asText of Pts1 then Pts2
    QTest::newRow("emptyTable") << "" << "" << QStringList{"1", "0", "", "1", "0", ""};
    QTest::newRow("values") << "12,0" << "" << QStringList{"0", "12", "12", "0", "0", "0"};
    QTest::newRow("nullReadsZeroAndEmpty") << "-,7" << "" << QStringList{"1", "0", "", "0", "7", "7"};
    QTest::newRow("negative") << "-40,-" << "" << QStringList{"0", "-40", "-40", "1", "0", ""};
    QTest::newRow("editBufferWhileEditing") << "1,2" << "edit set1=30 clear2"
                                            << QStringList{"0", "30", "30", "1", "0", ""};
    QTest::newRow("rowBeingInsertedOnEmpty") << "" << "edit set2=4" << QStringList{"1", "0", "", "0", "4", "4"};
}

void TestInningsTable::currentRowReads()
{
    QFETCH(QString, rows);
    QFETCH(QString, ops);
    QFETCH(QStringList, reads);
    InningsTable t;
    fill(t, rows);
    applyAll(t, ops);
    QStringList got;
    for (int f : {InningsTable::Pts1, InningsTable::Pts2})
        got << QString::number(int(t.isNull(f))) << QString::number(t.asInteger(f)) << t.asText(f);
    QCOMPARE(got, reads);
}

void TestInningsTable::failingHook_leavesTableConsistent()
{
    InningsTable t;
    fill(t, QStringLiteral("3,-"));
    t.afterPost = [] { throw AppError(QStringLiteral("disque plein")); };
    t.afterDelete = t.afterPost;
    t.edit();
    t.setField(InningsTable::Pts2, 6);
    QVERIFY_THROWS_EXCEPTION(AppError, t.post());
    QVERIFY(!t.isEditing());
    QCOMPARE(rowsText(t.rows()), QStringLiteral("3,6"));
    QCOMPARE(t.aggregate(Aggregate::Total2), std::optional<qint64>(6));
    QVERIFY_THROWS_EXCEPTION(AppError, t.appendEmpty());
    QCOMPARE(rowsText(t.rows()), QStringLiteral("3,6 -,-"));
    QCOMPARE(t.recNo(), 2);
    QVERIFY_THROWS_EXCEPTION(AppError, t.deleteCurrent());
    QCOMPARE(rowsText(t.rows()), QStringLiteral("3,6"));
    QCOMPARE(t.recNo(), 1);
}

void TestInningsTable::clone_movesAloneAndSeesChanges()
{
    InningsTable feuille;
    fill(feuille, QStringLiteral("7,0 3,-"));
    InningsTable clone;
    clone.cloneCursor(feuille);
    QVERIFY(clone.isOpen());
    feuille.first();
    clone.last();
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 3);
    QVERIFY(clone.isNull(InningsTable::Pts2));
    clone.prior();
    QCOMPARE(clone.asInteger(InningsTable::Pts2), 0);
    QVERIFY(!clone.isNull(InningsTable::Pts2));
    QCOMPARE(feuille.recNo(), 1);
    QVERIFY(feuille.bof());
    QVERIFY(!feuille.eof());

    feuille.last();
    feuille.edit();
    feuille.setField(InningsTable::Pts2, 11);
    feuille.post();
    clone.last();
    QCOMPARE(clone.asInteger(InningsTable::Pts2), 11);
    QCOMPARE(clone.aggregate(Aggregate::Total2), std::optional<qint64>(11));
}

void TestInningsTable::clone_leavesEditInProgressAlone()
{
    InningsTable feuille;
    fill(feuille, QStringLiteral("1,2 3,4"));
    InningsTable clone;
    clone.cloneCursor(feuille);
    Counters c;
    c.attach(feuille);
    feuille.moveTo(1);
    feuille.edit();
    feuille.setField(InningsTable::Pts1, 50);
    clone.last();
    clone.prior();
    // The clone reads what is stored, and the edit stays pending on the grid's row.
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 1);
    QVERIFY(feuille.isEditing());
    QCOMPARE(feuille.recNo(), 1);
    QCOMPARE(feuille.asInteger(InningsTable::Pts1), 50);
    QCOMPARE(c.posts, 0);
    feuille.post();
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 50);
}

void TestInningsTable::clone_followsEmptyingAndRefilling()
{
    InningsTable feuille;
    feuille.openEmpty();
    InningsTable clone;
    clone.cloneCursor(feuille);
    QVERIFY(clone.isEmpty());
    feuille.appendEmpty();
    // A cursor left over from the empty table is on no edge once a row exists.
    QVERIFY(!clone.bof());
    QVERIFY(!clone.eof());
    QVERIFY(!clone.isEmpty());
    clone.last();
    QVERIFY(clone.isNull(InningsTable::Pts1));
    feuille.emptyTable();
    QVERIFY(clone.isEmpty());
    clone.last();
    QVERIFY(clone.isEmpty());
    feuille.appendEmpty();
    QVERIFY(!clone.isEmpty());
    QVERIFY(!feuille.isEmpty());
    QCOMPARE(clone.recordCount(), 1);
}

void TestInningsTable::clone_survivesRowsRemovedUnderIt()
{
    InningsTable feuille;
    fill(feuille, QStringLiteral("1,1 2,2 3,3 4,4"));
    InningsTable clone;
    clone.cloneCursor(feuille);
    clone.last();
    feuille.last();
    feuille.deleteCurrent();
    feuille.deleteCurrent();
    // The clone's row is gone: it reads the row now at the end, never past it.
    QCOMPARE(clone.recNo(), 2);
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 2);
    clone.prior();
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 1);
}

void TestInningsTable::clone_runsNoHooksAndOutlivesOwner()
{
    auto feuille = std::make_unique<InningsTable>();
    fill(*feuille, QStringLiteral("1,2"));
    InningsTable clone;
    clone.cloneCursor(*feuille);
    Counters ownerHooks, cloneHooks;
    ownerHooks.attach(*feuille);
    cloneHooks.attach(clone);
    feuille->appendEmpty();
    feuille->deleteCurrent();
    QCOMPARE(ownerHooks.posts, 1);
    QCOMPARE(ownerHooks.deletes, 1);
    QCOMPARE(cloneHooks.posts + cloneHooks.deletes, 0);
    feuille.reset();
    clone.last();
    QCOMPARE(clone.asInteger(InningsTable::Pts2), 2);
}

void TestInningsTable::signals_forViews()
{
    InningsTable t;
    fill(t, QStringLiteral("1,2 3,4"));
    InningsTable clone;
    clone.cloneCursor(t);
    QSignalSpy inserted(&t, &InningsTable::rowInserted);
    QSignalSpy removed(&t, &InningsTable::rowRemoved);
    QSignalSpy changed(&t, &InningsTable::rowChanged);
    QSignalSpy reset(&t, &InningsTable::rowsReset);
    QSignalSpy current(&t, &InningsTable::currentChanged);

    t.appendEmpty();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(0).toInt(), 2);
    QCOMPARE(current.takeLast().at(0).toInt(), 2);

    t.moveTo(1);
    QCOMPARE(current.takeLast().at(0).toInt(), 0);
    t.edit();
    t.setField(InningsTable::Pts1, 9);
    t.post();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);

    clone.last(); // a clone's moves are not the grid's
    QCOMPARE(current.count(), 0);

    t.moveTo(2);
    t.deleteCurrent();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).toInt(), 1);

    t.emptyTable();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(current.takeLast().at(0).toInt(), -1);
}

void TestInningsTable::save_matchesReference_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("reference");
    QTest::newRow("twoInnings") << "7,0 3,-" << "two_innings.bin";
    QTest::newRow("noRow") << "" << "no_row.bin";
    QTest::newRow("extremesAndNulls") << "-,- -2147483648,2147483647 -,12" << "extremes.bin";
}

void TestInningsTable::save_matchesReference()
{
    QFETCH(QString, rows);
    QFETCH(QString, reference);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    InningsTable t;
    fill(t, rows);
    const QString path = dir.filePath(QStringLiteral("FeuilleMatch.bin"));
    t.saveToFile(path);
    QCOMPARE(readAll(path), readAll(dataFile(reference)));
}

void TestInningsTable::load_reference_data()
{
    save_matchesReference_data();
}

void TestInningsTable::load_reference()
{
    QFETCH(QString, rows);
    QFETCH(QString, reference);
    InningsTable t;
    fill(t, QStringLiteral("99,99 98,98 97,97"));
    Counters c;
    c.attach(t);
    t.last();
    t.loadFromFile(dataFile(reference));
    QVERIFY(t.isOpen());
    QCOMPARE(rowsText(t.rows()), rows);
    QCOMPARE(t.recNo(), rows.isEmpty() ? 0 : 1);
    QCOMPARE(t.isEmpty(), rows.isEmpty());
    QCOMPARE(c.posts + c.deletes, 0);
    InningsTable fresh;
    fill(fresh, rows);
    QCOMPARE(t.aggregate(Aggregate::Total1), fresh.aggregate(Aggregate::Total1));
    QCOMPARE(t.aggregate(Aggregate::Serie2), fresh.aggregate(Aggregate::Serie2));
    QCOMPARE(t.aggregate(Aggregate::Reprises2), fresh.aggregate(Aggregate::Reprises2));
}

void TestInningsTable::load_replacesRowsSeenByClone()
{
    InningsTable feuille;
    fill(feuille, QStringLiteral("1,1"));
    InningsTable clone;
    clone.cloneCursor(feuille);
    feuille.loadFromFile(dataFile(QStringLiteral("two_innings.bin")));
    clone.last();
    QCOMPARE(clone.asInteger(InningsTable::Pts1), 3);
    QCOMPARE(clone.recordCount(), 2);
}

void TestInningsTable::save_endsEditAndReplacesFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("FeuilleMatch.bin"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4096, 'x'));
    }
    InningsTable t;
    fill(t, QStringLiteral("7,0 3,-"));
    Counters c;
    c.attach(t);
    t.last();
    t.edit();
    t.setField(InningsTable::Pts2, 5);
    t.saveToFile(path);
    QCOMPARE(c.posts, 1);
    QVERIFY(!t.isEditing());
    InningsTable back;
    back.loadFromFile(path);
    QCOMPARE(rowsText(back.rows()), QStringLiteral("7,0 3,5"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("FeuilleMatch.bin")});
}

void TestInningsTable::loadErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("messageStart");
    const QString invalid = QStringLiteral("n'est pas une sauvegarde de feuille de match valide.");
    QTest::newRow("missing") << "does_not_exist.bin" << "Impossible d'ouvrir le fichier";
    QTest::newRow("emptyFile") << "empty.bin" << invalid;
    QTest::newRow("foreignMagic") << "bad_magic.bin" << invalid;
    QTest::newRow("flippedByte") << "bad_checksum.bin" << invalid;
    QTest::newRow("truncated") << "truncated.bin" << invalid;
    QTest::newRow("newerFormat") << "bad_version.bin" << invalid;
    QTest::newRow("otherFieldName") << "other_structure.bin" << invalid;
    QTest::newRow("threeFields") << "three_fields.bin" << invalid;
    QTest::newRow("rowCountBeyondFile") << "huge_row_count.bin" << invalid;
    QTest::newRow("unknownNullMask") << "bad_mask.bin" << invalid;
    QTest::newRow("bytesAfterLastRow") << "trailing_bytes.bin" << invalid;
    QTest::newRow("folderInsteadOfFile") << "." << "Impossible";
}

void TestInningsTable::loadErrors()
{
    QFETCH(QString, file);
    QFETCH(QString, messageStart);
    InningsTable t;
    fill(t, QStringLiteral("4,4 5,-"));
    InningsTable clone;
    clone.cloneCursor(t);
    t.moveTo(2);
    const QString path = dataFile(file);
    try {
        t.loadFromFile(path);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QVERIFY2(e.message().contains(messageStart), qPrintable(e.message()));
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
    }
    QCOMPARE(rowsText(t.rows()), QStringLiteral("4,4 5,-"));
    QCOMPARE(t.recNo(), 2);
    QCOMPARE(t.aggregate(Aggregate::Total1), std::optional<qint64>(9));
    QCOMPARE(clone.recordCount(), 2);
}

void TestInningsTable::saveErrors_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missingFolder") << "no/such/folder/FeuilleMatch.bin";
    QTest::newRow("targetIsFolder") << "sub";
}

void TestInningsTable::saveErrors()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    InningsTable t;
    fill(t, QStringLiteral("1,2"));
    const QString path = dir.filePath(relativePath);
    try {
        t.saveToFile(path);
        QFAIL("no error raised");
    } catch (const AppError &e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Impossible de créer le fichier \"%1\".").arg(path)),
                 qPrintable(e.message()));
    }
    QCOMPARE(rowsText(t.rows()), QStringLiteral("1,2"));
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("sub"))).isDir());
}

QTEST_GUILESS_MAIN(TestInningsTable)
#include "tst_inningstable.moc"
