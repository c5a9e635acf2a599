#include "InningsGridModel.h"

#include "AppError.h"
#include "InningsTable.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <optional>

using Cell = std::optional<qint32>;
using Rows = std::vector<InningRow>;
Q_DECLARE_METATYPE(Rows)

namespace {

InningRow row(Cell p1, Cell p2)
{
    InningRow r;
    r.pts[0] = p1;
    r.pts[1] = p2;
    return r;
}

// A sheet with its hooks counted and a guard that records what it caught.
struct Fixture {
    InningsTable table;
    int afterPostCalls = 0;
    QStringList errors;
    std::unique_ptr<InningsGridModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    // The model tester checks every notification; it cannot be used where rows are
    // removed, since it expects the row after a removed one to keep its column-0 text,
    // while column 0 is the inning number and renumbers.
    explicit Fixture(const Rows &rows, bool withTester = true)
    {
        table.openEmpty();
        for (const InningRow &r : rows) {
            table.appendEmpty();
            table.edit();
            for (int f = 0; f < 2; ++f) {
                if (r.pts[f])
                    table.setField(f, *r.pts[f]);
            }
            table.post();
        }
        table.afterPost = [this] { ++afterPostCalls; };
        model = std::make_unique<InningsGridModel>(table, [this](const std::function<void()> &op) {
            try {
                op();
            } catch (const AppError &e) {
                errors << e.message();
            }
        });
        if (withTester)
            tester = std::make_unique<QAbstractItemModelTester>(
                model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    QString text(int r, int c) const { return model->index(r, c).data().toString(); }
};

Rows threeInnings()
{
    return {row(7, 0), row(3, 12), row(5, std::nullopt)};
}

} // namespace

class TstInningsGridModel : public QObject {
    Q_OBJECT
private slots:
    void shape();
    void display_data();
    void display();
    void flags_data();
    void flags();
    void edit_data();
    void edit();
    void editErrors_data();
    void editErrors();
    void failingHook_goesThroughGuard();
    void tableChanges_reachTheView_data();
    void tableChanges_reachTheView();
};

void TstInningsGridModel::shape()
{
    Fixture f(threeInnings());
    QCOMPARE(f.model->rowCount(), 3);
    QCOMPARE(f.model->columnCount(), 3);
    QCOMPARE(f.model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Reprise"));
    QCOMPARE(f.model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Pts1"));
    QCOMPARE(f.model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Pts2"));
}

void TstInningsGridModel::display_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("inning 1") << 0 << 0 << "1";
    QTest::newRow("inning 2") << 1 << 0 << "2";
    QTest::newRow("inning 3") << 2 << 0 << "3";
    QTest::newRow("Pts1 of inning 1") << 0 << 1 << "7";
    QTest::newRow("zero is shown") << 0 << 2 << "0";
    QTest::newRow("Pts2 of inning 2") << 1 << 2 << "12";
    QTest::newRow("null is empty") << 2 << 2 << "";
}

void TstInningsGridModel::display()
{
    QFETCH(int, row);
    QFETCH(int, column);
    Fixture f(threeInnings());
    const QModelIndex idx = f.model->index(row, column);
    QTEST(idx.data(Qt::DisplayRole).toString(), "text");
    QTEST(idx.data(Qt::EditRole).toString(), "text");
    const auto align = Qt::Alignment(idx.data(Qt::TextAlignmentRole).toInt());
    QVERIFY(align.testFlag(Qt::AlignRight));
}

void TstInningsGridModel::flags_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("editable");
    QTest::newRow("Reprise") << 0 << false;
    QTest::newRow("Pts1") << 1 << true;
    QTest::newRow("Pts2") << 2 << true;
}

void TstInningsGridModel::flags()
{
    QFETCH(int, column);
    QFETCH(bool, editable);
    Fixture f(threeInnings());
    const Qt::ItemFlags fl = f.model->flags(f.model->index(1, column));
    QCOMPARE(fl.testFlag(Qt::ItemIsEditable), editable);
    QVERIFY(fl.testFlag(Qt::ItemIsEnabled));
    QVERIFY(fl.testFlag(Qt::ItemIsSelectable));
}

void TstInningsGridModel::edit_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<int>("posts");

    QTest::newRow("Pts2 of row 2 to 7") << 1 << 2 << "7"
        << Rows{row(7, 0), row(3, 7), row(5, std::nullopt)} << 1;
    QTest::newRow("null Pts2 of the last row to 4") << 2 << 2 << "4"
        << Rows{row(7, 0), row(3, 12), row(5, 4)} << 1;
    QTest::newRow("Pts1 of row 1, spaces around") << 0 << 1 << " 15 "
        << Rows{row(15, 0), row(3, 12), row(5, std::nullopt)} << 1;
    QTest::newRow("negative value") << 0 << 1 << "-2"
        << Rows{row(-2, 0), row(3, 12), row(5, std::nullopt)} << 1;
    QTest::newRow("hexadecimal") << 0 << 1 << "$10"
        << Rows{row(16, 0), row(3, 12), row(5, std::nullopt)} << 1;
    QTest::newRow("empty text clears") << 1 << 1 << ""
        << Rows{row(7, 0), row(std::nullopt, 12), row(5, std::nullopt)} << 1;
    QTest::newRow("blank text clears") << 0 << 2 << "   "
        << Rows{row(7, std::nullopt), row(3, 12), row(5, std::nullopt)} << 1;
    QTest::newRow("same value posts nothing") << 1 << 2 << "12" << threeInnings() << 0;
    QTest::newRow("clearing a null posts nothing") << 2 << 2 << "" << threeInnings() << 0;
}

void TstInningsGridModel::edit()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(Rows, expected);
    QFETCH(int, posts);

    Fixture f(threeInnings());
    QSignalSpy changed(f.model.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(f.model->setData(f.model->index(row, column), text));
    QVERIFY(f.errors.isEmpty());
    QVERIFY(f.table.rows() == expected);
    QCOMPARE(f.afterPostCalls, posts);
    QVERIFY(!f.table.isEditing());
    if (posts > 0) {
        QCOMPARE(f.table.recNo(), row + 1);
        // The view hears of the changed row.
        QVERIFY(!changed.isEmpty());
        const auto tl = changed.last().at(0).value<QModelIndex>();
        const auto br = changed.last().at(1).value<QModelIndex>();
        QVERIFY(tl.row() <= row && br.row() >= row);
        QVERIFY(tl.column() <= column && br.column() >= column);
        const Cell stored = expected[std::size_t(row)].pts[column - 1];
        QCOMPARE(f.text(row, column), stored ? QString::number(*stored) : QString());
    }
}

void TstInningsGridModel::editErrors_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: refused without a message

    QTest::newRow("letters") << 1 << 2 << "abc" << "'abc' n'est pas une valeur entière correcte";
    QTest::newRow("decimal") << 0 << 1 << "7.5" << "'7.5' n'est pas une valeur entière correcte";
    QTest::newRow("beyond 32 bits") << 0 << 1 << "2147483648"
                                    << "'2147483648' n'est pas une valeur entière correcte";
    QTest::newRow("Reprise column") << 1 << 0 << "9" << "";
    QTest::newRow("row past the end") << 3 << 1 << "9" << "";
}

void TstInningsGridModel::editErrors()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);

    Fixture f(threeInnings());
    f.table.last();
    const int recNoBefore = f.table.recNo();
    // A row past the end has no valid index; the model must refuse it all the same.
    const QModelIndex idx = row < f.model->rowCount() ? f.model->index(row, column) : QModelIndex();
    QVERIFY(!f.model->setData(idx, text));
    QVERIFY(f.table.rows() == threeInnings());
    QCOMPARE(f.afterPostCalls, 0);
    QCOMPARE(f.table.recNo(), recNoBefore);
    QVERIFY(!f.table.isEditing());
    if (message.isEmpty())
        QVERIFY(f.errors.isEmpty());
    else
        QCOMPARE(f.errors, QStringList{message});
}

void TstInningsGridModel::failingHook_goesThroughGuard()
{
    Fixture f(threeInnings());
    f.table.afterPost = [] { throw AppError(QStringLiteral("Impossible de créer le fichier")); };
    bool escaped = false;
    try {
        f.model->setData(f.model->index(0, 1), QStringLiteral("9"));
    } catch (...) {
        escaped = true;
    }
    QVERIFY(!escaped);
    QCOMPARE(f.errors, QStringList{QStringLiteral("Impossible de créer le fichier")});
    // The post stored the row before its hook failed.
    QCOMPARE(f.table.rows().front(), row(9, 0));
    QCOMPARE(f.text(0, 1), QStringLiteral("9"));
}

void TstInningsGridModel::tableChanges_reachTheView_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QStringList>("column0");
    QTest::addColumn<QStringList>("column1");
    QTest::addColumn<int>("removedRow"); // -1: no row removed
    QTest::newRow("append") << "append" << QStringList{"1", "2", "3", "4"}
                            << QStringList{"7", "3", "5", ""} << -1;
    QTest::newRow("delete the middle row") << "deleteMiddle" << QStringList{"1", "2"}
                                           << QStringList{"7", "5"} << 1;
    QTest::newRow("delete the last row") << "deleteLast" << QStringList{"1", "2"}
                                         << QStringList{"7", "3"} << 2;
    QTest::newRow("empty") << "empty" << QStringList{} << QStringList{} << -1;
    QTest::newRow("empty then append") << "emptyAppend" << QStringList{"1"} << QStringList{""} << -1;
    QTest::newRow("post from the table") << "post" << QStringList{"1", "2", "3"}
                                         << QStringList{"7", "3", "42"} << -1;
    QTest::newRow("opened empty again") << "reopen" << QStringList{} << QStringList{} << -1;
}

void TstInningsGridModel::tableChanges_reachTheView()
{
    QFETCH(QString, op);
    QFETCH(QStringList, column0);
    QFETCH(QStringList, column1);
    QFETCH(int, removedRow);

    Fixture f(threeInnings(), removedRow < 0);
    QSignalSpy aboutToRemove(f.model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removed(f.model.get(), &QAbstractItemModel::rowsRemoved);
    // The row count the views see while being told of the removal.
    QList<int> countsBefore;
    connect(f.model.get(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&] { countsBefore << f.model->rowCount(); });
    if (op == QLatin1String("append")) {
        f.table.appendEmpty();
    } else if (op == QLatin1String("deleteMiddle")) {
        f.table.moveTo(2);
        f.table.deleteCurrent();
    } else if (op == QLatin1String("deleteLast")) {
        f.table.last();
        f.table.deleteCurrent();
    } else if (op == QLatin1String("empty")) {
        f.table.emptyTable();
    } else if (op == QLatin1String("emptyAppend")) {
        f.table.emptyTable();
        f.table.appendEmpty();
    } else if (op == QLatin1String("post")) {
        f.table.last();
        f.table.edit();
        f.table.setField(InningsTable::Pts1, 42);
        f.table.post();
    } else if (op == QLatin1String("reopen")) {
        f.table.openEmpty();
    }
    if (removedRow >= 0) {
        QCOMPARE(aboutToRemove.count(), 1);
        QCOMPARE(aboutToRemove.first().at(1).toInt(), removedRow);
        QCOMPARE(aboutToRemove.first().at(2).toInt(), removedRow);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(countsBefore, QList<int>{3});
    }
    QCOMPARE(f.model->rowCount(), column0.size());
    QStringList seen0, seen1;
    for (int r = 0; r < f.model->rowCount(); ++r) {
        seen0 << f.text(r, 0);
        seen1 << f.text(r, 1);
    }
    QCOMPARE(seen0, column0);
    QCOMPARE(seen1, column1);
}

QTEST_MAIN(TstInningsGridModel)
#include "tst_inningsgridmodel.moc"
