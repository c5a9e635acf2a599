// Live publishing to the club server: the "Club :" section of the utilities page, the
// header indicator, the settings of section "CLUB" and the snapshot of the scoreboard
// (with the match rules' state and the shot clock).
//
// Every handler runs inside guard(), whose exit and the after-change chain call
// liveChanged(); a zero-delay timer then builds one snapshot once the handler has
// returned (a validation that posts twice and turns the turn sends one snapshot, with the
// new turn) and hands it to the publisher, which never waits for the network. The run
// timer's ticks publish the lap; the shot clock's ticks run inside guard(), so its
// seconds go out as they change. With no section "CLUB" in the settings there is no
// publisher at all.
#include "FeuilleMain2.h"
#include "IniFile.h"
#include "MatchView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString Club = QStringLiteral("CLUB");
constexpr quint16 DefaultClubPort = 8080;

// Decimal 1 to 65535, spaces around allowed; anything else is refused.
std::optional<quint16> clubPortFromText(const QString &text)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 10);
    if (!ok || v < 1 || v > 65535)
        return std::nullopt;
    return quint16(v);
}

// The match as the club's pages show it: rules, state and result.
LiveMatch liveMatchOf(const MatchView &v, const QString names[2])
{
    LiveMatch m;
    if (!v.rulesActive || v.phase == MatchPhase::Off)
        return m;
    m.active = true;
    m.discipline = v.discipline;
    m.distances[0] = v.distance[0];
    m.distances[1] = v.distance[1];
    m.limit = v.limiteReprises;
    m.remaining[0] = v.remaining[0];
    m.remaining[1] = v.remaining[1];
    switch (v.phase) {
    case MatchPhase::Equalizing:
        m.state = QStringLiteral("equalizing");
        break;
    case MatchPhase::Finished:
        m.state = QStringLiteral("finished");
        break;
    default:
        m.state = QStringLiteral("inplay");
        break;
    }
    if (v.phase == MatchPhase::Finished) {
        LiveResult r;
        r.winner = v.winner == 0 ? 1 : v.winner == 1 ? 2 : 0;
        r.points[0] = v.matchPoints[0];
        r.points[1] = v.matchPoints[1];
        r.text = r.winner == 0 ? QStringLiteral("Match nul") : QStringLiteral("Victoire de %1").arg(names[r.winner - 1]);
        m.result = r;
    }
    return m;
}

TLabel *clubLabel(QWidget *parent, const char *name, const QString &text, QRect g)
{
    auto *l = new TLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setText(text);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setGeometry(g);
    return l;
}

QLineEdit *clubEdit(QWidget *parent, const char *name, QRect g)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(g);
    return e;
}
} // namespace

void TMainFrm::buildLiveUi()
{
    m_liveFlush = new QTimer(this);
    m_liveFlush->setObjectName(QStringLiteral("liveFlush"));
    m_liveFlush->setSingleShot(true);
    m_liveFlush->setInterval(0);
    connect(m_liveFlush, &QTimer::timeout, this, [this] { liveFlush(); });

    // The section, under the network section, in the style of the others.
    QWidget *content = ScrollBox1->widget();
    LayoutClub = new QWidget(content);
    LayoutClub->setObjectName(QStringLiteral("LayoutClub"));
    LayoutClub->setFixedHeight(290);
    LayoutClub->setMinimumWidth(440);
    LabelClub = clubLabel(LayoutClub, "LabelClub", QStringLiteral("Club :"), QRect(0, 0, 400, 27));
    LabelClub->setFont(Label2->font());
    clubLabel(LayoutClub, "LabelClubServeur", QStringLiteral("Serveur :"), QRect(34, 52, 128, 23));
    EditClubServeur = clubEdit(LayoutClub, "EditClubServeur", QRect(168, 48, 180, 32));
    EditClubServeur->setPlaceholderText(QStringLiteral("adresse du serveur club"));
    clubLabel(LayoutClub, "LabelClubPort", QStringLiteral("Port :"), QRect(34, 91, 128, 23));
    EditClubPort = clubEdit(LayoutClub, "EditClubPort", QRect(168, 87, 115, 32));
    EditClubPort->setText(QString::number(DefaultClubPort));
    clubLabel(LayoutClub, "LabelClubTable", QStringLiteral("Table :"), QRect(34, 130, 128, 23));
    EditClubTable = clubEdit(LayoutClub, "EditClubTable", QRect(168, 126, 180, 32));
    EditClubTable->setPlaceholderText(QStringLiteral("Billard 1"));
    clubLabel(LayoutClub, "LabelClubCle", QStringLiteral("Clé du club :"), QRect(34, 169, 128, 23));
    EditClubCle = clubEdit(LayoutClub, "EditClubCle", QRect(168, 165, 180, 32));
    EditClubCle->setEchoMode(QLineEdit::Password);
    CheckDirect = new QCheckBox(QStringLiteral("Diffusion en direct"), LayoutClub);
    CheckDirect->setObjectName(QStringLiteral("CheckDirect"));
    CheckDirect->setGeometry(34, 206, 260, 24);
    lblClubEtat = clubLabel(LayoutClub, "lblClubEtat", QString(), QRect(34, 236, 400, 46));
    lblClubEtat->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblClubEtat->setWordWrap(true);
    if (auto *stack = qobject_cast<QVBoxLayout *>(content->layout()))
        stack->insertWidget(stack->indexOf(LayoutWifi) + 1, LayoutClub);

    // The indicator, after "Nouveau match": hidden while nothing is to be published.
    lblDirect = new QLabel(HeaderToolBar);
    lblDirect->setObjectName(QStringLiteral("lblDirect"));
    lblDirect->setFixedHeight(30);
    lblDirect->setAlignment(Qt::AlignCenter);
    lblDirect->setTextFormat(Qt::PlainText);
    lblDirect->setFocusPolicy(Qt::NoFocus);
    lblDirect->hide();
    if (auto *bar = qobject_cast<QHBoxLayout *>(HeaderToolBar->layout())) {
        const int at = bar->indexOf(btnStart) + 1;
        bar->insertSpacing(at, 16);
        bar->insertWidget(at + 1, lblDirect, 0, Qt::AlignVCenter);
    }

    for (QLineEdit *e : {EditClubServeur, EditClubPort, EditClubTable, EditClubCle})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { guard([&] { clubFieldChanged(e); }); });
    connect(CheckDirect, &QCheckBox::toggled, this, [this] { guard([&] { clubFieldChanged(CheckDirect); }); });
}

void TMainFrm::readClubSettings(const IniFile &ini)
{
    m_clubConfigured = false;
    for (const char *key : {"Serveur", "Port", "Table", "Direct", "Cle"})
        m_clubConfigured = m_clubConfigured || ini.value(Club, QString::fromLatin1(key)).has_value();
    ClubSettings c;
    c.serveur = ini.readString(Club, QStringLiteral("Serveur"), QString());
    const qint32 port = ini.readInteger(Club, QStringLiteral("Port"), DefaultClubPort);
    c.port = port >= 1 && port <= 65535 ? quint16(port) : DefaultClubPort;
    c.table = ini.readString(Club, QStringLiteral("Table"), QString());
    c.direct = ini.readInteger(Club, QStringLiteral("Direct"), 0) != 0;
    c.cle = ini.readString(Club, QStringLiteral("Cle"), QString());
    m_club = c;
    const QSignalBlocker block(CheckDirect);
    EditClubServeur->setText(c.serveur);
    EditClubPort->setText(QString::number(c.port));
    EditClubTable->setText(c.table);
    EditClubCle->setText(c.cle);
    CheckDirect->setChecked(c.direct);
    applyClub();
}

void TMainFrm::writeClubSettings(IniFile &ini) const
{
    // A settings file without the section stays without it until the operator sets the club.
    if (!m_clubConfigured)
        return;
    ini.writeString(Club, QStringLiteral("Serveur"), m_club.serveur);
    ini.writeInteger(Club, QStringLiteral("Port"), m_club.port);
    ini.writeString(Club, QStringLiteral("Table"), m_club.table);
    ini.writeInteger(Club, QStringLiteral("Direct"), m_club.direct ? 1 : 0);
    ini.writeString(Club, QStringLiteral("Cle"), m_club.cle);
}

void TMainFrm::clubFieldChanged(QObject *Sender)
{
    ClubSettings c = m_club;
    c.serveur = EditClubServeur->text().trimmed();
    c.table = EditClubTable->text().trimmed();
    c.cle = EditClubCle->text();
    c.direct = CheckDirect->isChecked();
    const QString portText = EditClubPort->text();
    if (const std::optional<quint16> port = clubPortFromText(portText)) {
        c.port = *port;
        m_clubPortRefused.reset();
    } else if (Sender == EditClubPort || Sender == CheckDirect) {
        // The text stays in the field to be corrected; the port in use stays as it was.
        if (Sender == CheckDirect || m_clubPortRefused != portText) {
            m_clubPortRefused = portText;
            m_dialogs->message(DlgKind::Error,
                               QStringLiteral("Le port du serveur club doit être un nombre entier de 1 à 65535 : "
                                              "« %1 » ne convient pas.\nLe port %2 reste en service.")
                                   .arg(portText)
                                   .arg(m_club.port),
                               {DlgButton::Ok});
        }
        if (Sender == EditClubPort)
            return;
    }
    const bool same = c.serveur == m_club.serveur && c.table == m_club.table && c.cle == m_club.cle
        && c.port == m_club.port && c.direct == m_club.direct;
    if (same)
        return; // also: leaving the fields of an unused section untouched sets nothing up
    m_club = c;
    m_clubConfigured = true;
    applyClub();
    // Saved at once, as the operator set it; the other settings keep their own moments.
    IniFile ini(iniPath());
    writeClubSettings(ini);
    ini.save();
}

void TMainFrm::applyClub()
{
    if (!m_clubConfigured) {
        showLiveState();
        return;
    }
    if (!Live) {
        Live = new LivePublisher(m_env.liveTimings, this);
        Live->setObjectName(QStringLiteral("Live"));
        connect(Live, &LivePublisher::stateChanged, this, [this] { showLiveState(); });
    }
    if (!m_liveTickHooked && Serie && Serie->timer()) {
        // The lap shown on the scoreboard moves with the run timer's ticks.
        connect(Serie->timer(), &QTimer::timeout, this, [this] { liveChanged(); });
        m_liveTickHooked = true;
    }
    Live->configure(m_club.serveur, m_club.port, m_club.table, m_club.cle, m_club.direct);
    m_liveLast.reset();
    showLiveState();
    liveChanged();
}

void TMainFrm::showLiveState()
{
    const bool shown = Live && Live->enabled();
    lblDirect->setVisible(shown);
    lblClubEtat->setText(Live ? Live->stateText() : QString());
    if (!shown)
        return;
    QString text, colour;
    switch (Live->state()) {
    case LiveState::Live:
        text = QStringLiteral("● En direct");
        colour = QStringLiteral("#1E8449");
        break;
    case LiveState::Connecting:
        text = QStringLiteral("● Connexion…");
        colour = QStringLiteral("#B9770E");
        break;
    case LiveState::Refused:
        text = QStringLiteral("● Direct refusé");
        colour = QStringLiteral("#B03A2E");
        break;
    case LiveState::Unreachable:
        text = QStringLiteral("● Hors ligne");
        colour = QStringLiteral("#B03A2E");
        break;
    case LiveState::Off:
        text = QStringLiteral("● Direct arrêté");
        colour = QStringLiteral("#7F8C8D");
        break;
    }
    lblDirect->setText(text);
    lblDirect->setToolTip(Live->stateText());
    lblDirect->setStyleSheet(QStringLiteral("QLabel { color: white; background: %1; border-radius: 6px;"
                                            " padding: 0 10px; font-size: 14px; font-weight: bold; }")
                                 .arg(colour));
}

void TMainFrm::liveChanged()
{
    if (!Live || !Live->enabled() || !m_liveFlush || m_liveFlush->isActive())
        return;
    m_liveFlush->start();
}

void TMainFrm::liveFlush()
{
    if (m_liveFlush)
        m_liveFlush->stop();
    if (!Live || !Live->enabled() || !Serie)
        return;
    const LiveSnapshot s = liveSnapshot();
    if (m_liveLast && m_liveLast->sameContent(s))
        return;
    m_liveLast = s;
    Live->publish(s);
}

LiveSnapshot TMainFrm::liveSnapshot()
{
    LiveSnapshot s;
    s.table = m_club.table;
    s.time = m_env.now();
    s.names[0] = Nom1Lbl->text();
    s.names[1] = Nom2Lbl->text();
    const Aggregate totals[2] = {Aggregate::Total1, Aggregate::Total2};
    const Aggregate played[2] = {Aggregate::Reprises1, Aggregate::Reprises2};
    const Aggregate best[2] = {Aggregate::Serie1, Aggregate::Serie2};
    for (int i = 0; i < 2; ++i) {
        s.totals[i] = Feuille->aggregate(totals[i]).value_or(0);
        s.played[i] = qint32(Feuille->aggregate(played[i]).value_or(0));
        if (const std::optional<qint64> b = Feuille->aggregate(best[i]))
            s.best[i] = qint32(*b);
    }
    // The centre counts the innings in which player 1 has a recorded run.
    s.innings = s.played[0];
    qint32 last1 = -1, last2 = -1;
    GetLastSeries(last1, last2);
    if (last1 >= 0)
        s.last[0] = last1;
    if (last2 >= 0)
        s.last[1] = last2;
    if (Serie->Points() > 0)
        s.run = Serie->Points();
    s.turn = Joueur1() ? 1 : 2;
    if (Serie->EnabledChrono())
        s.lapMs = Serie->lapMs();
    if (btnClockSum->isChecked()) {
        s.chronoMs[0] = Chrono1();
        s.chronoMs[1] = Chrono2();
    }
    const MatchView v = matchView();
    s.match = liveMatchOf(v, s.names);
    if (v.shotClockActive)
        s.shotClock = LiveShotClock{v.shotSecondsLeft, v.shotWarning, {v.extensionsLeft[0], v.extensionsLeft[1]}};
    return s;
}
