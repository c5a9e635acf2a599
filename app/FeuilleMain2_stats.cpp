// The scoreboard statistics, written from the sheet's aggregates and its last two rows.
#include "FeuilleMain2.h"

#include <cmath>

float TMainFrm::AggregateAsFloat(const std::optional<qint64> &value)
{
    return value ? float(*value) : 0.0f;
}

void TMainFrm::GetLastSeries(qint32 &last1, qint32 &last2)
{
    last1 = -1;
    last2 = -1;
    Clone->last();
    if (!Clone->isNull(InningsTable::Pts1))
        last1 = Clone->asInteger(InningsTable::Pts1);
    if (!Clone->isNull(InningsTable::Pts2))
        last2 = Clone->asInteger(InningsTable::Pts2);
    if (last1 >= 0 && last2 >= 0)
        return;
    Clone->prior();
    if (last1 < 0 && !Clone->isNull(InningsTable::Pts1))
        last1 = Clone->asInteger(InningsTable::Pts1);
    if (last2 < 0 && !Clone->isNull(InningsTable::Pts2))
        last2 = Clone->asInteger(InningsTable::Pts2);
}

// "0.000" of t / r with the user's decimal separator, no group separator, exact halves
// rounded away from zero. The operands are whole numbers, so the rounding is done on
// integers: in binary floating point 2.0005 would come out as 2.000.
QString TMainFrm::AverageText(double t, double r) const
{
    qint64 thousandths;
    if (std::fabs(t) < 9e15 / 1000 && std::fabs(r) < 9e15 && t == std::trunc(t) && r == std::trunc(r) && r != 0) {
        qint64 num = qint64(t) * 1000;
        qint64 den = qint64(r);
        if (den < 0) {
            num = -num;
            den = -den;
        }
        qint64 q = num / den;
        const qint64 rem = num % den;
        if (2 * (rem < 0 ? -rem : rem) >= den)
            q += num < 0 ? -1 : 1;
        thousandths = q;
    } else {
        thousandths = qint64(std::round(t / r * 1000.0));
    }
    const bool negative = thousandths < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(thousandths) : quint64(thousandths);
    const QString text = QString::number(magnitude / 1000) + m_locale.decimalPoint()
        + QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
    return negative ? QStringLiteral("-") + text : text;
}

namespace {
QString aggregateText(const std::optional<qint64> &v)
{
    return v ? QString::number(*v) : QString();
}
}

void TMainFrm::UpdateStats()
{
    qint32 last1, last2;
    GetLastSeries(last1, last2);

    const float t1 = AggregateAsFloat(Feuille->aggregate(Aggregate::Total1));
    const float r1 = AggregateAsFloat(Feuille->aggregate(Aggregate::Reprises1));
    int n = 0;
    if (r1 < 1) {
        Moyenne1Lbl->setText(QStringLiteral("0.000"));
    } else {
        n = int(r1);
        Moyenne1Lbl->setText(AverageText(t1, r1));
    }
    Total1Lbl->setText(aggregateText(Feuille->aggregate(Aggregate::Total1)));
    QString serie1 = aggregateText(Feuille->aggregate(Aggregate::Serie1));
    if (last1 >= 0)
        serie1 += QStringLiteral(" (%1)").arg(last1);
    Serie1Lbl->setText(serie1);

    const float t2 = AggregateAsFloat(Feuille->aggregate(Aggregate::Total2));
    const float r2 = AggregateAsFloat(Feuille->aggregate(Aggregate::Reprises2));
    if (r2 < 1)
        Moyenne2Lbl->setText(QStringLiteral("0.000"));
    else
        Moyenne2Lbl->setText(AverageText(t2, r2));
    Total2Lbl->setText(aggregateText(Feuille->aggregate(Aggregate::Total2)));
    QString serie2;
    if (last2 >= 0)
        serie2 = QStringLiteral("(%1) ").arg(last2);
    Serie2Lbl->setText(serie2 + aggregateText(Feuille->aggregate(Aggregate::Serie2)));

    ReprisesLbl->setText(n < 1 ? QStringLiteral("--") : QString::number(n));

    const float s = r1 + r2;
    if (AutresStatsLbl->tag() == 0 || s < 1)
        AutresStatsLbl->setText(QString());
    else
        AutresStatsLbl->setText(AverageText(double(t1) + double(t2), s));
    refreshMatch();
}

void TMainFrm::AutresStatsLblClick(QObject *)
{
    AutresStatsLbl->setTag(AutresStatsLbl->tag() == 0 ? 1 : 0);
    UpdateStats();
}
