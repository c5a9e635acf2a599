#include "MatchRules.h"

#include <algorithm>

QStringList MatchSettings::disciplines()
{
    return {libre(), QStringLiteral("Bande"), QStringLiteral("Cadre 47/2"),
            QStringLiteral("Cadre 71/2"), troisBandes(), personnalise()};
}

std::optional<MatchSettings::ShotFields> MatchSettings::presetFields(const QString &discipline)
{
    if (discipline == troisBandes())
        return ShotFields{30, 10, 3};
    if (discipline != personnalise() && disciplines().contains(discipline))
        return ShotFields{0, 10, 0};
    return std::nullopt;
}

void MatchSettings::applyPreset(const QString &name)
{
    const auto f = presetFields(name);
    if (f) {
        discipline = name;
        tempsCoup = f->tempsCoup;
        alerteCoup = f->alerteCoup;
        prolongations = f->prolongations;
    } else {
        discipline = personnalise();
    }
}

void MatchSettings::setShotFields(const ShotFields &f)
{
    tempsCoup = f.tempsCoup;
    alerteCoup = f.alerteCoup;
    prolongations = f.prolongations;
    const auto preset = presetFields(discipline);
    if (!preset || !(*preset == f))
        discipline = personnalise();
}

bool MatchSettings::operator==(const MatchSettings &o) const
{
    return discipline == o.discipline && distance[0] == o.distance[0]
        && distance[1] == o.distance[1] && limiteReprises == o.limiteReprises
        && egalisation == o.egalisation && tempsCoup == o.tempsCoup
        && alerteCoup == o.alerteCoup && prolongations == o.prolongations && son == o.son;
}

std::optional<qint64> MatchState::maxRun() const
{
    if (phase == MatchPhase::Finished)
        return qint64(0);
    if (phase == MatchPhase::Off)
        return std::nullopt;
    return remaining[playerToPlay];
}

namespace {

bool reached(const MatchSettings &s, const qint64 total[2], int p)
{
    return s.distance[p] > 0 && total[p] >= s.distance[p];
}

// Who wins once the match is over, from the totals at its end.
int winnerOf(const MatchSettings &s, const qint64 t[2])
{
    const bool r0 = reached(s, t, 0), r1 = reached(s, t, 1);
    if (r0 != r1)
        return r0 ? 0 : 1;
    if (r0 && r1)
        return -1;
    // Innings limit with neither at distance: the higher share of one's own distance,
    // compared exactly as t0/d0 against t1/d1; plain points when the distances are equal
    // or one player has none.
    qint64 a = t[0], b = t[1];
    if (s.distance[0] > 0 && s.distance[1] > 0 && s.distance[0] != s.distance[1]) {
        a = t[0] * s.distance[1];
        b = t[1] * s.distance[0];
    }
    if (a == b)
        return -1;
    return a > b ? 0 : 1;
}

} // namespace

MatchState MatchRules::evaluate(const MatchSettings &s, const std::vector<InningRow> &rows)
{
    MatchState st;
    for (const InningRow &r : rows)
        for (int p = 0; p < 2; ++p)
            if (r.pts[p]) {
                st.total[p] += *r.pts[p];
                ++st.innings[p];
            }
    st.playerToPlay = (rows.empty() || !rows.back().pts[0]) ? 0 : 1;
    for (int p = 0; p < 2; ++p)
        if (s.distance[p] > 0)
            st.remaining[p] = std::max<qint64>(0, s.distance[p] - st.total[p]);
    if (!s.rulesActive())
        return st;

    st.phase = MatchPhase::InPlay;
    qint64 t[2] = {0, 0};
    for (int i = 0; i < int(rows.size()); ++i) {
        const InningRow &r = rows[size_t(i)];
        if (!r.pts[0])
            break;
        t[0] += *r.pts[0];
        bool equalizing = false;
        if (reached(s, t, 0)) {
            if (!s.egalisation) {
                st.endRow = i;
                st.endPlayer = 0;
                break;
            }
            equalizing = true;
        }
        if (!r.pts[1]) {
            if (equalizing)
                st.phase = MatchPhase::Equalizing;
            break;
        }
        t[1] += *r.pts[1];
        if (equalizing || reached(s, t, 1)
            || (s.limiteReprises > 0 && i + 1 >= s.limiteReprises)) {
            st.endRow = i;
            st.endPlayer = 1;
            break;
        }
    }
    if (st.endRow < 0)
        return st;

    st.phase = MatchPhase::Finished;
    st.winner = winnerOf(s, t);
    for (int p = 0; p < 2; ++p)
        st.matchPoints[p] = st.winner < 0 ? 1 : (st.winner == p ? 2 : 0);
    return st;
}

std::pair<qint32, qint32> MatchRules::bestTwoRuns(const std::vector<InningRow> &rows, int player)
{
    qint32 best = 0, second = 0;
    for (const InningRow &r : rows) {
        if (!r.pts[player])
            continue;
        const qint32 v = *r.pts[player];
        if (v > best) {
            second = best;
            best = v;
        } else if (v > second) {
            second = v;
        }
    }
    return {best, second};
}
