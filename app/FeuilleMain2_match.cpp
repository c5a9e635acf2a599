// The match on the scoreboard: the "Match :" section of the utilities page, the points
// still needed, the end of the match and its banner, the shot clock and its extensions.
//
// Nothing of the match state is kept here: refreshMatch() evaluates the rules on the sheet
// after every change (UpdateStats and the turn call it), so an undo, a grid edit or a
// restart shows the right state by construction. Only the settings and the extensions
// used live apart from the sheet, in the "MATCH" section of the settings file. Without
// that section every control below stays hidden and no handler behaves differently.
#include "FeuilleMain2.h"
#include "IniFile.h"
#include "MatchIni.h"
#include "ShotClock.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QRadioButton>
#include <QSoundEffect>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

class MatchUi : public QObject {
public:
    explicit MatchUi(QObject *parent, MonotonicClock clock) : QObject(parent), shot(std::move(clock)) {}

    MatchSettings settings;
    bool inIni = false;   // the settings file holds (or must now hold) a "MATCH" section
    ShotClock shot;
    int lastSeconds = -1;

    // utilities page
    QWidget *LayoutMatch = nullptr;
    QComboBox *ComboDiscipline = nullptr;
    QSpinBox *EditDistance1 = nullptr, *EditDistance2 = nullptr, *EditLimiteReprises = nullptr;
    QSpinBox *EditTempsCoup = nullptr, *EditAlerteCoup = nullptr, *EditProlongations = nullptr;
    QCheckBox *CheckEgalisation = nullptr, *CheckSon = nullptr;
    // scoreboard
    TLabel *lblReste1 = nullptr, *lblReste2 = nullptr;
    TLabel *lblProlongations1 = nullptr, *lblProlongations2 = nullptr;
    QLabel *lblMatchResult = nullptr, *lblEgalisation = nullptr, *lblMatchNotice = nullptr;
    TLabel *lblShotClock = nullptr;
    QTimer *shotTimer = nullptr, *noticeTimer = nullptr, *cueTimer = nullptr;
    QSoundEffect *warningSound = nullptr, *expiredSound = nullptr;
};

namespace {

constexpr QRgb ShotNormal = 0xFFF0FFFF;
constexpr QRgb ShotWarning = 0xFFFF5A36;
constexpr QRgb CueColor = 0xFFE0322D;
constexpr int NoticeMs = 2000;
constexpr int CueMs = 350;

template <class T>
T *named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

TLabel *matchLabel(QWidget *parent, const char *name, Qt::Alignment align, QRgb color)
{
    auto *l = named(new TLabel(parent), name);
    l->setAlignment(align);
    l->setFontColor(color);
    l->setTextFormat(Qt::PlainText);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->hide();
    return l;
}

// A notice drawn on its own background (a TLabel is see-through by design).
QLabel *noticeLabel(QWidget *parent, const char *name, const QString &style)
{
    auto *l = named(new QLabel(parent), name);
    l->setAlignment(Qt::AlignCenter);
    l->setTextFormat(Qt::PlainText);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->setStyleSheet(style);
    l->hide();
    return l;
}

void pixelFont(QWidget *w, double pixelSize, bool bold)
{
    QFont f = w->font();
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setBold(bold);
    w->setFont(f);
}

QSpinBox *spin(QWidget *parent, const char *name, int max, const QString &none, const QString &suffix = {})
{
    auto *s = named(new QSpinBox(parent), name);
    s->setRange(0, max);
    s->setKeyboardTracking(false); // one change per entry, not one per digit typed
    s->setSpecialValueText(none);
    s->setSuffix(suffix);
    s->setMinimumWidth(110);
    return s;
}

} // namespace

// --- building ------------------------------------------------------------------------

void TMainFrm::buildMatchUi(QWidget *content, QVBoxLayout *stack)
{
    m_match = new MatchUi(this, m_env.clock);
    MatchUi &m = *m_match;

    // The fifth learnable remote action of the learning panel.
    RadioProlongation = named(new QRadioButton(QStringLiteral("Prolongation (115)"), LayoutTelecommande),
                              "RadioProlongation");
    // Right of the others, under the assign button: the panel keeps its height, so the
    // sections below stay where they always were.
    RadioProlongation->setGeometry(288, 150, 150, 19);
    if (QAbstractButton *b = RadioChrono; b->group())
        b->group()->addButton(RadioProlongation);
    RadioProlongation->installEventFilter(this);

    m.LayoutMatch = named(new QWidget(content), "LayoutMatch");
    m.LayoutMatch->setMinimumWidth(440);
    auto *grid = new QGridLayout(m.LayoutMatch);
    grid->setContentsMargins(0, 8, 8, 12);
    grid->setHorizontalSpacing(10);
    auto *heading = named(new TLabel(m.LayoutMatch), "LabelMatch");
    heading->setText(QStringLiteral("Match :"));
    heading->setFont(Label2->font());
    grid->addWidget(heading, 0, 0, 1, 3);
    auto caption = [&](int row, const QString &text) {
        auto *l = new TLabel(m.LayoutMatch);
        l->setText(text);
        l->setContentsMargins(25, 0, 0, 0);
        grid->addWidget(l, row, 0);
    };
    caption(1, QStringLiteral("Discipline :"));
    m.ComboDiscipline = named(new QComboBox(m.LayoutMatch), "ComboDiscipline");
    m.ComboDiscipline->addItems(MatchSettings::disciplines());
    grid->addWidget(m.ComboDiscipline, 1, 1);
    caption(2, QStringLiteral("Distance joueur 1 :"));
    m.EditDistance1 = spin(m.LayoutMatch, "EditDistance1", MatchSettings::maxDistance, QStringLiteral("aucune"), QStringLiteral(" pts"));
    grid->addWidget(m.EditDistance1, 2, 1);
    caption(3, QStringLiteral("Distance joueur 2 :"));
    m.EditDistance2 = spin(m.LayoutMatch, "EditDistance2", MatchSettings::maxDistance, QStringLiteral("aucune"), QStringLiteral(" pts"));
    grid->addWidget(m.EditDistance2, 3, 1);
    caption(4, QStringLiteral("Limite de reprises :"));
    m.EditLimiteReprises = spin(m.LayoutMatch, "EditLimiteReprises", MatchSettings::maxLimite, QStringLiteral("aucune"));
    grid->addWidget(m.EditLimiteReprises, 4, 1);
    m.CheckEgalisation = named(new QCheckBox(QStringLiteral("Reprise d'égalisation"), m.LayoutMatch), "CheckEgalisation");
    grid->addWidget(m.CheckEgalisation, 5, 1, 1, 2);
    caption(6, QStringLiteral("Temps par coup :"));
    m.EditTempsCoup = spin(m.LayoutMatch, "EditTempsCoup", MatchSettings::maxTempsCoup, QStringLiteral("aucun"), QStringLiteral(" s"));
    grid->addWidget(m.EditTempsCoup, 6, 1);
    caption(7, QStringLiteral("Alerte à :"));
    m.EditAlerteCoup = spin(m.LayoutMatch, "EditAlerteCoup", MatchSettings::maxTempsCoup, QStringLiteral("aucune"), QStringLiteral(" s restantes"));
    grid->addWidget(m.EditAlerteCoup, 7, 1);
    caption(8, QStringLiteral("Prolongations par joueur :"));
    m.EditProlongations = spin(m.LayoutMatch, "EditProlongations", MatchSettings::maxProlongations, QStringLiteral("aucune"));
    grid->addWidget(m.EditProlongations, 8, 1);
    m.CheckSon = named(new QCheckBox(QStringLiteral("Sons du temps par coup"), m.LayoutMatch), "CheckSon");
    grid->addWidget(m.CheckSon, 9, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    stack->addWidget(m.LayoutMatch);

    // What the operator changes is applied and saved at once.
    auto changed = [this](bool presetField) {
        guard([&] {
            MatchUi &mm = *m_match;
            MatchSettings s = mm.settings;
            s.distance[0] = mm.EditDistance1->value();
            s.distance[1] = mm.EditDistance2->value();
            s.limiteReprises = mm.EditLimiteReprises->value();
            s.egalisation = mm.CheckEgalisation->isChecked();
            s.son = mm.CheckSon->isChecked();
            if (presetField)
                s.setShotFields({mm.EditTempsCoup->value(), mm.EditAlerteCoup->value(), mm.EditProlongations->value()});
            setMatchSettings(s);
        });
    };
    for (QSpinBox *s : {m.EditDistance1, m.EditDistance2, m.EditLimiteReprises})
        connect(s, &QSpinBox::valueChanged, this, [changed] { changed(false); });
    for (QSpinBox *s : {m.EditTempsCoup, m.EditAlerteCoup, m.EditProlongations})
        connect(s, &QSpinBox::valueChanged, this, [changed] { changed(true); });
    for (QCheckBox *c : {m.CheckEgalisation, m.CheckSon})
        connect(c, &QCheckBox::toggled, this, [changed] { changed(false); });
    connect(m.ComboDiscipline, &QComboBox::activated, this, [this](int index) {
        guard([&] {
            MatchSettings s = m_match->settings;
            s.applyPreset(m_match->ComboDiscipline->itemText(index));
            setMatchSettings(s);
        });
    });

    // The scoreboard's pieces: points still needed and extensions left per player, the
    // banner and the notices over the centre column, the shot clock.
    m.lblReste1 = matchLabel(Rectangle1, "lblReste1", Qt::AlignRight | Qt::AlignVCenter, 0xFF000000);
    m.lblReste2 = matchLabel(Rectangle2, "lblReste2", Qt::AlignRight | Qt::AlignVCenter, 0xFF000000);
    m.lblProlongations1 = matchLabel(Rectangle1, "lblProlongations1", Qt::AlignRight | Qt::AlignVCenter, 0xFF000000);
    m.lblProlongations2 = matchLabel(Rectangle2, "lblProlongations2", Qt::AlignRight | Qt::AlignVCenter, 0xFF000000);
    m.lblShotClock = matchLabel(RectangleFondTab, "lblShotClock", Qt::AlignCenter, ShotNormal);
    m.lblEgalisation = noticeLabel(RectangleFondTab, "lblEgalisation",
                                   QStringLiteral("color: #23221D; background: #F5C542; border-radius: 8px;"));
    m.lblEgalisation->setText(QStringLiteral("Reprise d'égalisation"));
    m.lblMatchNotice = noticeLabel(RectangleFondTab, "lblMatchNotice",
                                   QStringLiteral("color: #FFFFFF; background: #C0392B; border-radius: 8px;"));
    m.lblMatchResult = noticeLabel(RectangleFondTab, "lblMatchResult",
                                   QStringLiteral("color: #23221D; background: #F0FFFF; border: 6px solid #F5C542;"
                                                  " border-radius: 12px; padding: 6px;"));
    m.lblMatchResult->setTextFormat(Qt::RichText);
    m.lblMatchResult->setWordWrap(true);

    m.shotTimer = new QTimer(m_match);
    m.shotTimer->setInterval(200);
    connect(m.shotTimer, &QTimer::timeout, this, [this] { guard([&] { ShotClockTick(); }); });
    m.noticeTimer = new QTimer(m_match);
    m.noticeTimer->setSingleShot(true);
    connect(m.noticeTimer, &QTimer::timeout, this, [this] { m_match->lblMatchNotice->hide(); });
    m.cueTimer = new QTimer(m_match);
    m.cueTimer->setSingleShot(true);
    connect(m.cueTimer, &QTimer::timeout, this, [this] { RectangleSerieLbl->setFill(Joueur1() ? color1 : color2); });
}

void TMainFrm::attachMatchToSerie()
{
    // A digit or a +1 that would take the run past the points still needed is refused,
    // with a brief cue on the run panel; after the end every point is refused.
    Serie->allowPoints = [this](qint64 newPoints) {
        const MatchState st = matchState();
        const auto max = st.maxRun();
        if (!max || newPoints <= *max)
            return true;
        RectangleSerieLbl->setFill(CueColor);
        m_match->cueTimer->start(CueMs);
        if (st.finished()) {
            m_match->lblMatchNotice->setText(QStringLiteral("Match terminé"));
            m_match->lblMatchNotice->show();
            m_match->lblMatchNotice->raise();
            m_match->noticeTimer->start(NoticeMs);
        }
        return false;
    };
    // The shot clock follows the lap: a new lap is a new shot, and it pauses with it.
    Serie->onLapRestart = [this] {
        m_match->shot.restart();
        m_match->lastSeconds = -1;
        refreshMatch();
    };
    Serie->onPausedChanged = [this](bool paused) {
        if (paused)
            m_match->shot.pause();
        else
            m_match->shot.resume();
        refreshMatch();
    };
}

// --- settings ------------------------------------------------------------------------

void TMainFrm::setKeyProlongation(quint16 value)
{
    fKeyProlongation = value;
    if (RadioProlongation)
        RadioProlongation->setText(QStringLiteral("Prolongation (%1)").arg(value));
    if (m_match && value != 115)
        m_match->inIni = true;
}

const MatchSettings &TMainFrm::matchSettings() const
{
    return m_match->settings;
}

void TMainFrm::setMatchSettings(const MatchSettings &s)
{
    MatchUi &m = *m_match;
    const bool shotChanged = !(s.shotFields() == m.settings.shotFields());
    m.settings = s;
    m.inIni = true;
    // Show them without running the change handlers again.
    const QSignalBlocker b1(m.ComboDiscipline), b2(m.EditDistance1), b3(m.EditDistance2),
        b4(m.EditLimiteReprises), b5(m.CheckEgalisation), b6(m.EditTempsCoup), b7(m.EditAlerteCoup),
        b8(m.EditProlongations), b9(m.CheckSon);
    m.ComboDiscipline->setCurrentIndex(m.ComboDiscipline->findText(s.discipline));
    m.EditDistance1->setValue(s.distance[0]);
    m.EditDistance2->setValue(s.distance[1]);
    m.EditLimiteReprises->setValue(s.limiteReprises);
    m.CheckEgalisation->setChecked(s.egalisation);
    m.EditTempsCoup->setValue(s.tempsCoup);
    m.EditAlerteCoup->setValue(s.alerteCoup);
    m.EditProlongations->setValue(s.prolongations);
    m.CheckSon->setChecked(s.son);
    if (shotChanged) {
        // The extensions used so far stay counted against the new allowance.
        const qint32 used0 = m.shot.extensionsUsed(0), used1 = m.shot.extensionsUsed(1);
        m.shot.configure(s.tempsCoup, s.alerteCoup, s.prolongations);
        m.shot.setExtensionsUsed(0, used0);
        m.shot.setExtensionsUsed(1, used1);
        if (Serie && !Serie->PausedChrono())
            m.shot.resume();
    }
    refreshMatch();
    if (Serie) // not while the settings are being read at start-up
        WriteIni();
}

void TMainFrm::readMatchIni(const IniFile &ini)
{
    MatchUi &m = *m_match;
    setKeyProlongation(quint16(ini.readInteger(QStringLiteral("REMOTE"), QStringLiteral("KeyProlongation"), 115)));
    const bool present = MatchIni::present(ini) || ini.value(QStringLiteral("REMOTE"), QStringLiteral("KeyProlongation"));
    TSerie *serie = Serie;
    Serie = nullptr; // showing the settings read must not write them back
    m.shot.configure(0, 0, 0);
    m.settings = MatchSettings{};
    setMatchSettings(MatchIni::read(ini));
    Serie = serie;
    const MatchIni::ExtensionsUsed used = MatchIni::readExtensions(ini);
    m.shot.setExtensionsUsed(0, used.used[0]);
    m.shot.setExtensionsUsed(1, used.used[1]);
    m.inIni = present;
}

void TMainFrm::writeMatchIni(IniFile &ini)
{
    MatchUi &m = *m_match;
    if (!m.inIni)
        return; // a file without a "MATCH" section is written back exactly as before
    ini.writeInteger(QStringLiteral("REMOTE"), QStringLiteral("KeyProlongation"), KeyProlongation());
    MatchIni::write(ini, m.settings);
    MatchIni::ExtensionsUsed used;
    used.used[0] = m.shot.extensionsUsed(0);
    used.used[1] = m.shot.extensionsUsed(1);
    MatchIni::writeExtensions(ini, used);
}

// --- state -------------------------------------------------------------------------------

MatchState TMainFrm::matchState() const
{
    return MatchRules::evaluate(m_match->settings, Feuille->rows());
}

MatchView TMainFrm::matchView() const
{
    const MatchUi &m = *m_match;
    const MatchState st = matchState();
    MatchView v;
    v.rulesActive = m.settings.rulesActive();
    v.discipline = m.settings.discipline;
    v.distance[0] = m.settings.distance[0];
    v.distance[1] = m.settings.distance[1];
    v.limiteReprises = m.settings.limiteReprises;
    v.egalisation = m.settings.egalisation;
    v.phase = st.phase;
    v.remaining[0] = st.remaining[0];
    v.remaining[1] = st.remaining[1];
    v.winner = st.winner;
    v.matchPoints[0] = st.matchPoints[0];
    v.matchPoints[1] = st.matchPoints[1];
    v.shotClockActive = m.settings.shotClockActive() && Serie && Serie->EnabledChrono();
    v.shotSecondsLeft = m.shot.secondsLeft();
    v.shotWarning = m.shot.inWarning();
    v.shotExpired = m.shot.expired();
    v.extensionsLeft[0] = m.shot.extensionsLeft(0);
    v.extensionsLeft[1] = m.shot.extensionsLeft(1);
    return v;
}

bool TMainFrm::refuseValidationAfterEnd()
{
    if (!matchState().finished())
        return false;
    m_match->lblMatchNotice->setText(QStringLiteral("Match terminé"));
    m_match->lblMatchNotice->show();
    m_match->lblMatchNotice->raise();
    m_match->noticeTimer->start(NoticeMs);
    return true;
}

void TMainFrm::matchNewMatch()
{
    m_match->shot.resetExtensions();
    m_match->shot.restart();
    refreshMatch();
    if (m_match->inIni)
        WriteIni();
}

void TMainFrm::refreshMatch()
{
    if (!m_match || !Feuille->isOpen())
        return;
    MatchUi &m = *m_match;
    const MatchSettings &s = m.settings;
    const MatchState st = matchState();

    TLabel *reste[] = {m.lblReste1, m.lblReste2};
    for (int p = 0; p < 2; ++p) {
        reste[p]->setVisible(bool(st.remaining[p]));
        if (st.remaining[p])
            reste[p]->setText(QStringLiteral("reste %1").arg(*st.remaining[p]));
    }
    // In the panel's text colour: black on the panel of the player to play, the player's
    // own colour on the other.
    m.lblReste1->setFontColor(Total1Lbl->fontColor());
    m.lblReste2->setFontColor(Total2Lbl->fontColor());

    m.lblEgalisation->setVisible(st.phase == MatchPhase::Equalizing);
    if (st.finished()) {
        const QString name = st.winner < 0 ? QString() : (st.winner == 0 ? Nom1Lbl : Nom2Lbl)->text();
        const QString title = st.winner < 0
            ? QStringLiteral("Match nul")
            : QStringLiteral("Victoire de<br>%1").arg(name.toHtmlEscaped());
        // As large as the column allows: the longer of "Victoire de" and the name fills it.
        const int chars = qMax(11, int(name.size()));
        const int titlePx = qMax(12, qMin(qRound(m_D * 1.1), qRound(m.lblMatchResult->width() * 1.55 / chars)));
        const auto avg = [&](int p) {
            return st.innings[p] < 1 ? QStringLiteral("0.000") : AverageText(double(st.total[p]), double(st.innings[p]));
        };
        m.lblMatchResult->setText(
            QStringLiteral("<div style='font-size:%1px; font-weight:bold;'>%2</div>"
                           "<div style='font-size:%3px;'>Points de match : %4 – %5</div>"
                           "<div style='font-size:%3px;'>Moyennes : %6 – %7</div>")
                .arg(titlePx)
                .arg(title)
                .arg(qMax(10, qMin(qRound(m_D * 0.55), qRound(m.lblMatchResult->width() / 13.0))))
                .arg(st.matchPoints[0])
                .arg(st.matchPoints[1])
                .arg(avg(0), avg(1)));
        m.lblMatchResult->show();
        m.lblMatchResult->raise();
    } else {
        m.lblMatchResult->hide();
        m.lblMatchNotice->hide();
    }

    // Extensions left beside the name of each player, in the panel's text colour.
    const bool shotOn = s.shotClockActive() && Serie && Serie->EnabledChrono() && !st.finished();
    TLabel *ext[] = {m.lblProlongations1, m.lblProlongations2};
    TLabel *names[] = {Nom1Lbl, Nom2Lbl};
    for (int p = 0; p < 2; ++p) {
        ext[p]->setVisible(shotOn && s.prolongations > 0);
        ext[p]->setText(QStringLiteral("prolongations : %1").arg(m.shot.extensionsLeft(p)));
        ext[p]->setFontColor(names[p]->fontColor());
    }
    m.lblShotClock->setVisible(shotOn);
    if (shotOn && !m.shotTimer->isActive())
        m.shotTimer->start();
    else if (!shotOn)
        m.shotTimer->stop();
    if (shotOn)
        ShotClockTick();
}

// --- the shot clock ------------------------------------------------------------------------

void TMainFrm::ShotClockTick()
{
    if (!m_match || m_match->lblShotClock->isHidden())
        return;
    MatchUi &m = *m_match;
    const int secs = m.shot.secondsLeft();
    if (secs != m.lastSeconds) {
        m.lblShotClock->setText(QString::number(secs));
        m.lastSeconds = secs;
    }
    m.lblShotClock->setFontColor(m.shot.inWarning() || m.shot.expired() ? ShotWarning : ShotNormal);
    const int ev = m.shot.poll();
    if (!m.settings.son || ev == ShotClock::NoEvent)
        return;
    const QString sound = (ev & ShotClock::Expired) ? QStringLiteral("expired") : QStringLiteral("warning");
    if (m_env.playSound) {
        m_env.playSound(sound);
        return;
    }
    // Created on first use: a machine without sound never opens an audio device, and a
    // device that fails only makes the effect silent.
    QSoundEffect *&effect = sound == QLatin1String("expired") ? m.expiredSound : m.warningSound;
    if (!effect) {
        effect = new QSoundEffect(m_match);
        effect->setSource(QUrl(QStringLiteral("qrc:/sounds/%1.wav").arg(sound)));
        effect->setVolume(1.0);
    }
    effect->play();
}

void TMainFrm::btnProlongationClick(QObject *)
{
    MatchUi &m = *m_match;
    if (m.lblShotClock->isHidden())
        return;
    const int player = Joueur1() ? 0 : 1;
    QString notice;
    if (m.shot.extensionsLeft(player) <= 0)
        notice = QStringLiteral("Plus de prolongation");
    else if (m.shot.extendedThisShot())
        notice = QStringLiteral("Prolongation déjà accordée");
    else if (!m.shot.extend(player))
        notice = QStringLiteral("Temps écoulé");
    if (!notice.isEmpty()) {
        m.lblMatchNotice->setText(notice);
        m.lblMatchNotice->show();
        m.lblMatchNotice->raise();
        m.noticeTimer->start(NoticeMs);
        return;
    }
    m.inIni = true;
    WriteIni(); // the extensions used survive a crash
    m.lastSeconds = -1;
    refreshMatch();
}

// --- layout ----------------------------------------------------------------------------------

void TMainFrm::relayoutMatch()
{
    if (!m_match)
        return;
    MatchUi &m = *m_match;
    const int W = RectangleFondTab->width();
    const int H = RectangleFondTab->height();
    const int A = m_A, B = m_B, D = m_D;
    const int cw = qMax(0, W - 2 * A);

    Q_UNUSED(B);
    // In each panel: the points still needed on the bottom row, right of the cumulative
    // time; the extensions left under the name, right of the total.
    for (TLabel *l : {m.lblReste1, m.lblReste2})
        pixelFont(l, D * 0.75, true);
    for (TLabel *l : {m.lblProlongations1, m.lblProlongations2})
        pixelFont(l, D * 0.5, true);
    // The notices fit the centre column: "Reprise d'égalisation" is the longest, 21 letters.
    for (QLabel *l : {m.lblEgalisation, m.lblMatchNotice})
        pixelFont(l, qMin(D * 0.5, (cw - 20) * 1.6 / 21), true);
    for (TRectangle *r : {Rectangle1, Rectangle2}) {
        const int w = r->width();
        const bool left = r == Rectangle1;
        TLabel *reste = left ? m.lblReste1 : m.lblReste2;
        TLabel *ext = left ? m.lblProlongations1 : m.lblProlongations2;
        const int inset = left ? 5 + 8 : 8;
        reste->setGeometry(w / 3, r->height() - D - 4, qMax(0, w - w / 3 - inset), D);
        ext->setGeometry(w / 2, 5 + D, qMax(0, w / 2 - inset), qRound(D * 0.7));
    }

    // The centre column between the lap time and the run panel.
    const int top = qMax(ReprisesLbl->y(),
                         lblChronoPoint->mapTo(RectangleFondTab, QPoint(0, lblChronoPoint->height())).y() + 6);
    const int bottom = qMax(top, RectangleSerieLbl->y() - 10);
    const int span = bottom - top;
    // Under the innings count, above the run panel.
    const int shotH = qRound(span * 0.36);
    pixelFont(m.lblShotClock, qMin(shotH * 0.9, cw * 0.3), true);
    m.lblShotClock->setGeometry(A, bottom - shotH, cw, shotH);
    const int noticeH = qRound(m.lblEgalisation->font().pixelSize() * 1.8);
    m.lblEgalisation->setGeometry(A + 10, top, qMax(0, cw - 20), noticeH);
    m.lblMatchNotice->setGeometry(A + 10, top + noticeH + 6, qMax(0, cw - 20), noticeH);
    m.lblMatchResult->setGeometry(A + 6, top, qMax(0, cw - 12), qMax(0, qMin(span, H / 2)));
    for (QWidget *w : {static_cast<QWidget *>(m.lblShotClock), static_cast<QWidget *>(m.lblEgalisation),
                       static_cast<QWidget *>(m.lblMatchResult), static_cast<QWidget *>(m.lblMatchNotice)})
        w->raise();
    refreshMatch();
}

// --- print ---------------------------------------------------------------------------------------

// What the print program needs beyond the sheet, in a file of ours beside "tmp.txt"; with
// no rules an old one is removed, so the print program never shows another match's rules.
void TMainFrm::writePrintMatchFile(const QString &printFile)
{
    const QFileInfo info(printFile);
    const QString path = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".ini");
    const MatchSettings &s = m_match->settings;
    if (!s.rulesActive()) {
        if (QFile::exists(path))
            QFile::remove(path);
        return;
    }
    const MatchState st = matchState();
    IniFile ini(path);
    const QString sec = QStringLiteral("MATCH");
    ini.writeString(sec, QStringLiteral("Discipline"), s.discipline);
    ini.writeInteger(sec, QStringLiteral("Distance1"), s.distance[0]);
    ini.writeInteger(sec, QStringLiteral("Distance2"), s.distance[1]);
    ini.writeInteger(sec, QStringLiteral("LimiteReprises"), s.limiteReprises);
    ini.writeInteger(sec, QStringLiteral("Egalisation"), s.egalisation ? 1 : 0);
    QString result = QStringLiteral("Match en cours");
    if (st.finished())
        result = st.winner < 0 ? QStringLiteral("Match nul")
                               : QStringLiteral("Victoire de %1").arg((st.winner == 0 ? Nom1Lbl : Nom2Lbl)->text());
    ini.writeString(sec, QStringLiteral("Resultat"), result);
    ini.writeInteger(sec, QStringLiteral("Vainqueur"), st.finished() ? st.winner + 1 : -1);
    ini.writeInteger(sec, QStringLiteral("PointsMatch1"), st.matchPoints[0]);
    ini.writeInteger(sec, QStringLiteral("PointsMatch2"), st.matchPoints[1]);
    for (int p = 0; p < 2; ++p) {
        const auto best = MatchRules::bestTwoRuns(Feuille->rows(), p);
        ini.writeString(sec, QStringLiteral("MeilleuresSeries%1").arg(p + 1),
                        QStringLiteral("%1 %2").arg(best.first).arg(best.second));
    }
    ini.save();
}
