#pragma once
// TMainFrm, the one window of the scoreboard.
//
// How the pieces meet: the window owns the sheet `Feuille` (an InningsTable) and its second
// cursor `Clone`, the run object `Serie` and every control. Every post or delete on the
// sheet runs FeuilleAfterPost, which refreshes the statistics and rewrites the backup file,
// so the file on disk always holds the state after the last completed change.
//
// The handlers are named after the control and the event and stay a few lines long; the
// logic lives in scoring/ and records/. Every handler runs inside guard(), which shows an
// AppError's French text in an error box and lets the program go on. Dialogs go through
// IDialogs, clocks and folders are injected through TMainFrmEnv, so tests drive the real
// window offscreen.
//
// The class is implemented across several files by concern:
//   FeuilleMain2.cpp          construction, start-up and shut-down, guard, after-change chain
//   FeuilleMain2_ui.cpp       building the controls (names, colours, texts, bindings)
//   FeuilleMain2_flow.cpp     turn, validation, undo, delete, new match, names
//   FeuilleMain2_stats.cpp    scoreboard statistics
//   FeuilleMain2_layout.cpp   pages, adaptive layout, counting buttons
//   FeuilleMain2_keys.cpp     keyboard and remote control
//   FeuilleMain2_time.cpp     time controls
//   FeuilleMain2_records.cpp  settings file, history, print hand-off, network sending
//   FeuilleMain2_live.cpp     live publishing to the club server ("Club :", header indicator)
#include "Dialogs.h"
#include "Feuille2_serie.h"
#include "InningsTable.h"
#include "KeyTranslate.h"
#include "LivePublisher.h"
//   FeuilleMain2_match.cpp    the match rules on the scoreboard, the shot clock, "Match :"
#include "Dialogs.h"
#include "Feuille2_serie.h"
#include "InningsTable.h"
#include "MatchView.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSplitter;
class QTabWidget;
class QTableView;
class QToolButton;
class QVariantAnimation;
class InningsGridModel;
class LineList;
class IniFile;
class QTimer;
class QVBoxLayout;
class MatchUi;

// A rectangle with a fill and a border, drawn by itself (panels and background).
class TRectangle : public QWidget {
    Q_OBJECT
public:
    explicit TRectangle(QWidget *parent = nullptr);
    QRgb fill() const { return m_fill; }
    void setFill(QRgb argb);
    bool strokeSolid() const { return m_strokeSolid; }
    void setStrokeSolid(bool solid);
    qreal strokeThickness() const { return m_thickness; }
    void setStrokeThickness(qreal t);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QRgb m_fill = 0xFFFFFFFF;
    QRgb m_stroke = 0xFF000000;
    bool m_strokeSolid = false;
    qreal m_thickness = 0;
};

// A label that can be clicked, with a font colour of its own.
class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget *parent = nullptr);
    QRgb fontColor() const { return m_color; }
    void setFontColor(QRgb argb);
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // A scoreboard text: FormResize gives its largest size, and the font shrinks until the
    // text fits the label, or `roomWidth` when that is narrower (a column the label reaches
    // over). Down to `minPixelSize` only; a text still too long then shows its start.
    // Checked on every resize and paint, and by fitText() after a text is written.
    void setFittedFont(int maxPixelSize, bool bold, int roomWidth = 0, int minPixelSize = 1);
    void fitText();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    QRgb m_color = 0xFF000000;
    int m_tag = 0;
    bool m_pressed = false;
    int m_fitMax = 0, m_fitMin = 1, m_fitRoom = 0;
    Qt::Alignment m_designAlignment;
    QString m_fittedText;
    QSize m_fittedSize;
};

// What the window takes from outside, so tests can replace it.
struct TMainFrmEnv {
    QString documentsDir;                 // where the backup and its companions live; when
                                          // null, chosen by chooseDocumentsFolder() from:
    QString sharedDocumentsDir;           //   the folder shared by all users (null: /var/lib/zelvano)
    QString userDocumentsDir;             //   the user's documents folder (null: the platform's)
    QString applicationDir;               // where the print program is looked for
    IDialogs *dialogs = nullptr;          // not owned; QtDialogs when null
    MonotonicClock clock;                 // the run's stopwatch
    std::function<double()> timeOfDay;    // fraction of a day, for the OK key's interval
    std::function<QDateTime()> now;       // the sheet's date and time
    // Plays one of the shot clock's sounds ("warning", "expired"); Qt Multimedia when null.
    std::function<void(const QString &sound)> playSound;
    bool runFormCreate = true;
    LiveTimings liveTimings;              // reconnect delays of the club server's connection
};

// The documents folder: the shared one when it exists and can be written, otherwise the
// user's own. `warning` is the French text to show when the shared folder exists but cannot
// be used (empty otherwise): the operator must know the sheet is not the shared one.
struct DocumentsFolder {
    QString path;
    QString warning;
};
DocumentsFolder chooseDocumentsFolder(const QString &sharedDir, const QString &userDir);
QString defaultSharedDocumentsDir();
QString defaultDocumentsDir();

class TMainFrm : public QWidget {
    Q_OBJECT
public:
    explicit TMainFrm(TMainFrmEnv env = {}, QWidget *parent = nullptr);
    ~TMainFrm() override;

    // --- state the Parts name ---------------------------------------------------
    InningsTable *Feuille;
    InningsTable *Clone;
    TSerie *Serie = nullptr;
    QString BackupBin;
    QRgb color1 = 0, color2 = 0, ColorFond = 0;
    double fdTime13Max = 0;
    bool IsKeyDown = false;
    double fLastTimeKey13 = 0.0;

    bool Joueur1() const { return fJoueur1; }
    void setJoueur1(bool value);
    qint64 Chrono1() const { return fChrono1; }
    void setChrono1(qint64 value);
    qint64 Chrono2() const { return fChrono2; }
    void setChrono2(qint64 value);
    quint16 KeyPlus() const { return fKeyPlus; }
    void setKeyPlus(quint16 value);
    quint16 KeyMoins() const { return fKeyMoins; }
    void setKeyMoins(quint16 value);
    quint16 KeyOK() const { return fKeyOK; }
    void setKeyOK(quint16 value);
    quint16 KeyChrono() const { return fKeyChrono; }
    void setKeyChrono(quint16 value);

    // --- handlers ----------------------------------------------------------------
    void FormCreate(QObject *Sender);
    void FormDestroy(QObject *Sender);
    void FormResize(QObject *Sender);
    void FormKeyDown(QObject *Sender, quint16 &Key, QChar &KeyChar);
    void FormKeyUp(QObject *Sender, quint16 &Key, QChar &KeyChar);
    void btnSetSerieClick(QObject *Sender);
    void btnDelClick(QObject *Sender);
    void btnStartClick(QObject *Sender);
    void Nom1LblClick(QObject *Sender);
    void AutresStatsLblClick(QObject *Sender);
    void btnAffichTabToolsClick(QObject *Sender);
    void TabControl1Change(QObject *Sender);
    void btnAddClick(QObject *Sender);
    void btnClockClick(QObject *Sender);
    void imgPauseChronoClick(QObject *Sender);
    void lblChronoPointClick(QObject *Sender);
    void Chrono1LblClick(QObject *Sender);
    void RadioPlusKeyDown(QObject *Sender, quint16 &Key, QChar &KeyChar);
    void btnAffecteRemoteClick(QObject *Sender);
    void btnPrintClick(QObject *Sender);
    void btnprintFeuilleClick(QObject *Sender);
    void FeuilleAfterPost();

    // --- operations ---------------------------------------------------------------
    void UndoLastSerie();
    void SwapNames();
    void DeriveTurn();
    void UpdateStats();
    void GetLastSeries(qint32 &last1, qint32 &last2);
    static float AggregateAsFloat(const std::optional<qint64> &value);
    QString AverageText(double t, double r) const; // "0.000" of t / r
    void ReadIni();
    void WriteIni();
    void SheetToStrings(LineList &list);
    void ArchiveSheet();
    QString iniPath() const;
    QString historyPath() const;

    // Runs `f`, showing an AppError (or any other exception) in an error box.
    void guard(const std::function<void()> &f);
    IDialogs &dialogs() { return *m_dialogs; }
    int backupWrites() const { return m_backupWrites; }
    // The reason the last save of the backup failed; empty once a save succeeded.
    const QString &backupFailure() const { return m_backupFailure; }
    void setLocaleForTexts(const QLocale &locale) { m_locale = locale; }

    // --- controls (object names as documented) --------------------------------------
    QWidget *HeaderToolBar;
    QToolButton *btnStart, *btnAffichTabTools, *btnAffichTabFeuille, *btnClock, *btnClockSum,
        *btnPrint;
    QButtonGroup *pagesGroup;
    QTabWidget *TabControl1;
    QWidget *TabAffichage, *TabUtils;
    TRectangle *RectangleFondTab;
    QWidget *LayoutGauche, *LayoutDroite, *LayoutCentre, *LayoutChrono, *LayoutImgChrono,
        *LayoutSerieLbl;
    TRectangle *Rectangle1, *Rectangle2, *RectangleSerieLbl;
    TLabel *Nom1Lbl, *Total1Lbl, *Chrono1Lbl, *Moyenne1Lbl, *Serie1Lbl, *AutresStatsLbl;
    TLabel *Nom2Lbl, *Total2Lbl, *Chrono2Lbl, *Moyenne2Lbl, *Serie2Lbl;
    TLabel *lblChronoPoint, *ReprisesLbl, *lblSerie;
    QLabel *lblSauvegarde; // shown while the backup cannot be written
    TLabel *imgPauseChrono, *ImgPlayChrono;
    QToolButton *btnDec, *btnAdd, *btnSetSerie;
    // utilities page
    QSplitter *Splitter1;
    QWidget *LayoutGrid;
    QTableView *StringGrid1;
    InningsGridModel *gridModel;
    QPushButton *btnDel;
    QScrollArea *ScrollBox1;
    QWidget *LayoutTelecommande, *LayoutWifi;
    TLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
    QRadioButton *RadioPlus, *RadioMoins, *RadioOK, *RadioChrono;
    QRadioButton *RadioFeuilleEnCours, *RadioFeuillesArchive;
    TRectangle *RectTestRemote;
    TLabel *lblKeyTest;
    QVariantAnimation *ColorAnimation1;
    QPushButton *btnAffecteRemote, *btnprintFeuille;
    QLineEdit *EditHost, *EditPort;

    // --- live publishing to the club server (FeuilleMain2_live.cpp) -------------------
    // Off, with no connection attempt, while the settings have no section "CLUB".
    LiveSnapshot liveSnapshot();  // what the scoreboard shows now
    void liveChanged();           // something may have changed: published once the handler returns
    void liveFlush();             // publishes now when the scoreboard differs from the last snapshot
    LivePublisher *Live = nullptr; // null while the club is not set up
    QWidget *LayoutClub = nullptr;
    TLabel *LabelClub = nullptr, *lblClubEtat = nullptr;
    QLineEdit *EditClubServeur = nullptr, *EditClubPort = nullptr, *EditClubTable = nullptr,
              *EditClubCle = nullptr;
    QCheckBox *CheckDirect = nullptr;
    QLabel *lblDirect = nullptr;  // header indicator
    // --- the match (FeuilleMain2_match.cpp); with no "MATCH" settings nothing changes ---
    QRadioButton *RadioProlongation = nullptr;
    quint16 KeyProlongation() const { return fKeyProlongation; }
    void setKeyProlongation(quint16 value);
    const MatchSettings &matchSettings() const;
    // Applies new settings, shows them on the "Match :" section and writes the settings file.
    void setMatchSettings(const MatchSettings &s);
    MatchState matchState() const;   // derived from the sheet every time
    MatchView matchView() const;
    void btnProlongationClick(QObject *Sender);   // F4 and the remote's "Prolongation"
    void ShotClockTick();                         // the shot clock's display timer

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    TMainFrmEnv m_env;
    std::unique_ptr<IDialogs> m_ownDialogs;
    IDialogs *m_dialogs = nullptr;
    QLocale m_locale;
    bool fJoueur1 = true;
    qint64 fChrono1 = 0, fChrono2 = 0;
    quint16 fKeyPlus = 37, fKeyMoins = 39, fKeyOK = 38, fKeyChrono = 40;
    int m_backupWrites = 0;
    QString m_backupFailure;    // reason of the failing backup save, empty when saved
    QString m_unreportedSave;   // error of a failed save not yet shown to the operator
    int m_guardDepth = 0;
    QString m_folderWarning;    // the shared documents folder could not be used
    bool m_destroyed = false;
    bool m_syncingSelection = false;
    KeyRepeatDetector m_keyRepeat;
    // Layout state set by FormResize and applied by relayout().
    int m_A = 329, m_B = 169, m_C = 69, m_D = 16;
    double m_centreTop = 10;
    int m_runPanelW = 197;
    double m_X = 0, m_Y = 0;

    void buildUi();
    void buildHeader();
    void buildScoreboardPage();
    void buildUtilitiesPage();
    void connectHandlers();
    void relayout();
    void loadBackupAtStart();
    void removeStaleTemporaryFiles();
    void buildSaveNotice();
    void placeSaveNotice();
    void reportUnshownSaveError(const QString &thrown = {});
    void afterTableMoved(int index);
    bool inThisWindow(QObject *o) const;
    void dispatchKeyDown(QObject *sender, QKeyEvent *e);
    // live publishing
    struct ClubSettings {
        QString serveur, table, cle;
        quint16 port = 8080;
        bool direct = false;
    };
    bool m_clubConfigured = false; // section "CLUB" in the settings, or set by the operator
    ClubSettings m_club;           // as applied (a bad port text is not)
    std::optional<QString> m_clubPortRefused; // the port text last refused, not reported twice
    QTimer *m_liveFlush = nullptr;
    bool m_liveTickHooked = false;
    std::optional<LiveSnapshot> m_liveLast;
    void buildLiveUi();
    void readClubSettings(const IniFile &ini);
    void writeClubSettings(IniFile &ini) const;
    void clubFieldChanged(QObject *Sender);
    void applyClub();
    void showLiveState();
    quint16 fKeyProlongation = 115;
    MatchUi *m_match = nullptr; // a child QObject: the match's controls, settings and clock
    void buildMatchUi(QWidget *content, QVBoxLayout *stack);
    void attachMatchToSerie();
    void relayoutMatch();
    void refreshMatch();
    bool refuseValidationAfterEnd();
    void matchNewMatch();
    void readMatchIni(const IniFile &ini);
    void writeMatchIni(IniFile &ini);
    void writePrintMatchFile(const QString &printFile);
};
