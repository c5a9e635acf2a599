// Building the controls: every one gets its documented object name, colours and texts.
#include "FeuilleMain2.h"
#include "InningsGridModel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

// --- TRectangle ------------------------------------------------------------------

TRectangle::TRectangle(QWidget *parent) : QWidget(parent) {}

void TRectangle::setFill(QRgb argb)
{
    m_fill = argb;
    update();
}

void TRectangle::setStrokeSolid(bool solid)
{
    m_strokeSolid = solid;
    update();
}

void TRectangle::setStrokeThickness(qreal t)
{
    m_thickness = t;
    update();
}

void TRectangle::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rect(), QColor::fromRgba(m_fill));
    if (m_strokeSolid && m_thickness > 0) {
        const qreal h = m_thickness / 2;
        QPen pen(QColor::fromRgba(m_stroke), m_thickness);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(h, h, -h, -h));
    }
}

// --- TLabel ------------------------------------------------------------------------

TLabel::TLabel(QWidget *parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFontColor(0xFF000000);
}

void TLabel::setFontColor(QRgb argb)
{
    m_color = argb;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor::fromRgba(argb));
    pal.setColor(QPalette::Text, QColor::fromRgba(argb));
    setPalette(pal);
}

void TLabel::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        m_pressed = true;
    QLabel::mousePressEvent(e);
}

void TLabel::mouseReleaseEvent(QMouseEvent *e)
{
    const bool was = m_pressed;
    m_pressed = false;
    QLabel::mouseReleaseEvent(e);
    if (was && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

// --- building --------------------------------------------------------------------------

namespace {

template <class T>
T *named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

TLabel *label(QWidget *parent, const char *name, const QString &text, Qt::Alignment align,
              QRgb color = 0xFF000000)
{
    auto *l = named(new TLabel(parent), name);
    l->setText(text);
    l->setAlignment(align);
    l->setFontColor(color);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QToolButton *iconButton(QWidget *parent, const char *name, const QString &icon, const QString &tip)
{
    auto *b = named(new QToolButton(parent), name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    b->setIcon(QIcon(icon));
    b->setIconSize(QSize(32, 32));
    b->setFixedSize(80, 48);
    b->setToolTip(tip);
    return b;
}

constexpr QRgb Azure = 0xFFF0FFFF;

} // namespace

void TMainFrm::buildUi()
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Zelvano"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/sheet.svg")));
    resize(793, 546 + 0);
    setFocusPolicy(Qt::StrongFocus);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    buildHeader();
    root->addWidget(HeaderToolBar);

    TabControl1 = named(new QTabWidget(this), "TabControl1");
    TabControl1->setFocusPolicy(Qt::NoFocus);
    TabControl1->setDocumentMode(true);
    root->addWidget(TabControl1, 1);
    buildScoreboardPage();
    buildUtilitiesPage();
    TabControl1->addTab(TabAffichage, QStringLiteral("Affichage"));
    TabControl1->addTab(TabUtils, QStringLiteral("Utilitaires"));
    TabControl1->setCurrentWidget(TabAffichage);
}

void TMainFrm::buildHeader()
{
    HeaderToolBar = named(new QWidget(this), "HeaderToolBar");
    HeaderToolBar->setFixedHeight(48);
    HeaderToolBar->setAutoFillBackground(true);
    HeaderToolBar->setStyleSheet(QStringLiteral(
        "#HeaderToolBar { background: #ECEBE6; border-bottom: 1px solid #B8B6AE; }"
        "QToolButton { border: none; border-radius: 4px; }"
        "QToolButton:hover { background: #DCDAD2; }"
        "QToolButton:checked { background: #C9D8EA; }"
        "#btnStart { background: #FFFFFF; border: 1px solid #B8B6AE; padding: 0 8px;"
        " font-size: 14px; }"
        "#btnStart:hover { background: #F2F6FB; }"));
    auto *bar = new QHBoxLayout(HeaderToolBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);

    btnStart = named(new QToolButton(HeaderToolBar), "btnStart");
    btnStart->setText(QStringLiteral("Nouveau match"));
    btnStart->setFocusPolicy(Qt::NoFocus);
    btnStart->setFixedSize(129, 30);
    btnStart->move(9, 8); // a fixed place at the left of the bar, outside its layout
    btnStart->setToolTip(QStringLiteral("Nouveau match (F2)"));

    btnPrint = iconButton(HeaderToolBar, "btnPrint", QStringLiteral(":/icons/printer.svg"),
                          QStringLiteral("Imprimer la feuille"));
    btnClockSum = iconButton(HeaderToolBar, "btnClockSum", QStringLiteral(":/icons/stopwatch-sum.svg"),
                             QStringLiteral("Chronométrer les séries et afficher les temps cumulés"));
    btnClock = iconButton(HeaderToolBar, "btnClock", QStringLiteral(":/icons/stopwatch.svg"),
                          QStringLiteral("Chronométrer les séries"));
    btnAffichTabFeuille = iconButton(HeaderToolBar, "btnAffichTabFeuille",
                                     QStringLiteral(":/icons/sheet.svg"), QStringLiteral("Tableau de score"));
    btnAffichTabTools = iconButton(HeaderToolBar, "btnAffichTabTools", QStringLiteral(":/icons/gears.svg"),
                                   QStringLiteral("Utilitaires"));
    btnClock->setCheckable(true);
    btnClockSum->setCheckable(true);
    btnAffichTabFeuille->setCheckable(true);
    btnAffichTabTools->setCheckable(true);
    pagesGroup = new QButtonGroup(this);
    pagesGroup->setObjectName(QStringLiteral("pages"));
    pagesGroup->setExclusive(true);
    pagesGroup->addButton(btnAffichTabFeuille);
    pagesGroup->addButton(btnAffichTabTools);
    btnAffichTabFeuille->setChecked(true);

    bar->addSpacing(9 + 129); // btnStart's place
    bar->addStretch(1);
    bar->addWidget(btnPrint);
    bar->addSpacing(80);
    bar->addWidget(btnClockSum);
    bar->addWidget(btnClock);
    bar->addSpacing(80);
    bar->addWidget(btnAffichTabFeuille);
    bar->addWidget(btnAffichTabTools);
}

void TMainFrm::buildScoreboardPage()
{
    TabAffichage = named(new QWidget, "TabAffichage");
    auto *pageLayout = new QVBoxLayout(TabAffichage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    RectangleFondTab = named(new TRectangle(TabAffichage), "RectangleFondTab");
    RectangleFondTab->setFill(0xFF23221D);
    pageLayout->addWidget(RectangleFondTab);
    QWidget *fond = RectangleFondTab;

    // Left column: player 1.
    LayoutGauche = named(new QWidget(fond), "LayoutGauche");
    Rectangle1 = named(new TRectangle(LayoutGauche), "Rectangle1");
    Rectangle1->setFill(0xFFF4EDED);
    Rectangle1->setStrokeThickness(4);
    Rectangle1->setStrokeSolid(true);
    Nom1Lbl = label(Rectangle1, "Nom1Lbl", QStringLiteral("Nom1Lbl"), Qt::AlignLeft | Qt::AlignVCenter);
    Total1Lbl = label(Rectangle1, "Total1Lbl", QStringLiteral("000"), Qt::AlignCenter);
    Chrono1Lbl = label(Rectangle1, "Chrono1Lbl", QStringLiteral("00:00"), Qt::AlignLeft | Qt::AlignVCenter);
    Moyenne1Lbl = label(LayoutGauche, "Moyenne1Lbl", QStringLiteral("000"), Qt::AlignLeft | Qt::AlignVCenter, Azure);
    Serie1Lbl = label(LayoutGauche, "Serie1Lbl", QStringLiteral("000"), Qt::AlignLeft | Qt::AlignVCenter, Azure);
    AutresStatsLbl = label(LayoutGauche, "AutresStatsLbl", QString(), Qt::AlignLeft | Qt::AlignVCenter, Azure);
    AutresStatsLbl->setToolTip(QStringLiteral("Afficher ou masquer la moyenne générale"));

    // Right column: player 2.
    LayoutDroite = named(new QWidget(fond), "LayoutDroite");
    Rectangle2 = named(new TRectangle(LayoutDroite), "Rectangle2");
    Rectangle2->setFill(0xFFE5E54F);
    Rectangle2->setStrokeThickness(4);
    Rectangle2->setStrokeSolid(true);
    Nom2Lbl = label(Rectangle2, "Nom2Lbl", QStringLiteral("Nom1Lbl"), Qt::AlignRight | Qt::AlignVCenter);
    Total2Lbl = label(Rectangle2, "Total2Lbl", QStringLiteral("000"), Qt::AlignCenter);
    Chrono2Lbl = label(Rectangle2, "Chrono2Lbl", QStringLiteral("00:00"), Qt::AlignRight | Qt::AlignVCenter);
    Moyenne2Lbl = label(LayoutDroite, "Moyenne2Lbl", QStringLiteral("000"), Qt::AlignRight | Qt::AlignVCenter, Azure);
    Serie2Lbl = label(LayoutDroite, "Serie2Lbl", QStringLiteral("000"), Qt::AlignRight | Qt::AlignVCenter, Azure);
    for (TLabel *l : {Nom1Lbl, Nom2Lbl})
        l->setToolTip(QStringLiteral("Modifier le nom du joueur"));
    for (TLabel *l : {Chrono1Lbl, Chrono2Lbl})
        l->setToolTip(QStringLiteral("Modifier le temps cumulé"));

    // Centre column: the timer block, the innings count and the run panel.
    LayoutCentre = named(new QWidget(fond), "LayoutCentre");
    LayoutChrono = named(new QWidget(LayoutCentre), "LayoutChrono");
    LayoutImgChrono = named(new QWidget(LayoutChrono), "LayoutImgChrono");
    imgPauseChrono = named(new TLabel(LayoutImgChrono), "imgPauseChrono");
    ImgPlayChrono = named(new TLabel(LayoutImgChrono), "ImgPlayChrono");
    imgPauseChrono->setPixmap(QIcon(QStringLiteral(":/icons/pause.svg")).pixmap(QSize(35, 35), devicePixelRatioF()));
    ImgPlayChrono->setPixmap(QIcon(QStringLiteral(":/icons/play.svg")).pixmap(QSize(35, 35), devicePixelRatioF()));
    imgPauseChrono->setToolTip(QStringLiteral("Mettre le chrono en pause (*)"));
    ImgPlayChrono->setToolTip(QStringLiteral("Relancer le chrono (*)"));
    for (TLabel *img : {imgPauseChrono, ImgPlayChrono}) {
        img->setAlignment(Qt::AlignCenter);
        img->setCursor(Qt::PointingHandCursor);
    }
    LayoutSerieLbl = named(new QWidget(LayoutCentre), "LayoutSerieLbl");

    // These reach over the side columns or grow past their design parent (the lap time
    // past the timer block), so they are children of the background (a child widget would
    // be clipped by its parent) and placed in the background's coordinates.
    lblChronoPoint = label(fond, "lblChronoPoint", QStringLiteral("00:00"), Qt::AlignCenter, Azure);
    lblChronoPoint->setToolTip(QStringLiteral("Remettre à zéro le chrono en cours"));
    ReprisesLbl = label(fond, "ReprisesLbl", QStringLiteral("000"), Qt::AlignCenter, Azure);
    ReprisesLbl->setAttribute(Qt::WA_TransparentForMouseEvents);
    RectangleSerieLbl = named(new TRectangle(fond), "RectangleSerieLbl");
    RectangleSerieLbl->setFill(0xFFE5E54F);
    RectangleSerieLbl->setStrokeThickness(4);
    RectangleSerieLbl->setStrokeSolid(true);
    lblSerie = label(RectangleSerieLbl, "lblSerie", QStringLiteral("--"), Qt::AlignCenter);
    btnDec = iconButton(fond, "btnDec", QStringLiteral(":/icons/minus.svg"), QStringLiteral("Moins 1 (-)"));
    btnAdd = iconButton(fond, "btnAdd", QStringLiteral(":/icons/plus.svg"), QStringLiteral("Plus 1 (+)"));
    btnSetSerie = iconButton(fond, "btnSetSerie", QStringLiteral(":/icons/check.svg"),
                             QStringLiteral("Valider la série (Entrée)"));
    for (QToolButton *b : {btnDec, btnAdd, btnSetSerie}) {
        b->setFixedSize(48, 48);
        b->setIconSize(QSize(40, 40));
        b->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                        "QToolButton:pressed { background: rgba(255,255,255,60); border-radius: 24px; }"));
    }
    lblChronoPoint->raise();
    ReprisesLbl->raise();
    RectangleSerieLbl->raise();
    btnDec->raise();
    btnAdd->raise();
    btnSetSerie->raise();
}

void TMainFrm::buildUtilitiesPage()
{
    TabUtils = named(new QWidget, "TabUtils");
    auto *page = new QHBoxLayout(TabUtils);
    page->setContentsMargins(0, 0, 0, 0);
    Splitter1 = named(new QSplitter(Qt::Horizontal, TabUtils), "Splitter1");
    Splitter1->setHandleWidth(16);
    Splitter1->setChildrenCollapsible(false);
    page->addWidget(Splitter1);

    LayoutGrid = named(new QWidget, "LayoutGrid");
    LayoutGrid->setMinimumWidth(20);
    auto *gridBox = new QVBoxLayout(LayoutGrid);
    gridBox->setContentsMargins(0, 0, 0, 0);
    gridBox->setSpacing(0);
    StringGrid1 = named(new QTableView(LayoutGrid), "StringGrid1");
    gridModel = new InningsGridModel(*Feuille, [this](const std::function<void()> &f) { guard(f); }, this);
    StringGrid1->setModel(gridModel);
    StringGrid1->setAlternatingRowColors(true);
    StringGrid1->setShowGrid(true);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setTabKeyNavigation(true);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::AnyKeyPressed);
    StringGrid1->horizontalHeader()->setSectionsMovable(true);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->verticalHeader()->hide();
    // The grid is drawn at 150 %: fonts, row height (21) and columns scaled by 1.5.
    QFont gridFont = StringGrid1->font();
    gridFont.setPointSizeF(gridFont.pointSizeF() * 1.5);
    StringGrid1->setFont(gridFont);
    StringGrid1->horizontalHeader()->setFont(gridFont);
    StringGrid1->verticalHeader()->setDefaultSectionSize(qRound(21 * 1.5));
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(qRound(64 * 1.5));
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    gridBox->addWidget(StringGrid1, 1);
    btnDel = named(new QPushButton(QStringLiteral("supprimer reprise"), LayoutGrid), "btnDel");
    btnDel->setFixedHeight(48);
    gridBox->addWidget(btnDel);

    ScrollBox1 = named(new QScrollArea, "ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("ScrollBox1Content"));
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    QFont heading = font();
    heading.setPixelSize(20);
    heading.setBold(true);
    heading.setUnderline(true);

    LayoutTelecommande = named(new QWidget(content), "LayoutTelecommande");
    LayoutTelecommande->setFixedHeight(177);
    LayoutTelecommande->setMinimumWidth(440);
    Label2 = label(LayoutTelecommande, "Label2", QStringLiteral("Télécommande :"), Qt::AlignLeft | Qt::AlignVCenter);
    Label2->setFont(heading);
    Label2->setGeometry(0, 0, 400, 27);
    Label3 = label(LayoutTelecommande, "Label3", QStringLiteral("Action (code)"), Qt::AlignLeft | Qt::AlignVCenter);
    Label3->setGeometry(25, 38, 168, 23);
    Label4 = label(LayoutTelecommande, "Label4", QStringLiteral("Test touche"), Qt::AlignLeft | Qt::AlignVCenter);
    Label4->setGeometry(169, 38, 112, 23);
    auto radio = [](QWidget *p, const char *name, const QString &text, QRect g) {
        auto *r = named(new QRadioButton(text, p), name);
        r->setGeometry(g);
        return r;
    };
    RadioPlus = radio(LayoutTelecommande, "RadioPlus", QStringLiteral("plus 1"), QRect(32, 69, 129, 19));
    RadioMoins = radio(LayoutTelecommande, "RadioMoins", QStringLiteral("moins 1"), QRect(32, 94, 129, 19));
    RadioOK = radio(LayoutTelecommande, "RadioOK", QStringLiteral("OK"), QRect(32, 120, 129, 19));
    RadioChrono = radio(LayoutTelecommande, "RadioChrono", QStringLiteral("Chrono"), QRect(33, 145, 144, 19));
    auto *remoteGroup = new QButtonGroup(this);
    remoteGroup->setObjectName(QStringLiteral("Remote"));
    for (QRadioButton *r : {RadioPlus, RadioMoins, RadioOK, RadioChrono})
        remoteGroup->addButton(r);
    RectTestRemote = named(new TRectangle(LayoutTelecommande), "RectTestRemote");
    RectTestRemote->setGeometry(176, 79, 89, 77);
    RectTestRemote->setFill(0xFFE0E0E0);
    lblKeyTest = label(RectTestRemote, "lblKeyTest", QStringLiteral("0"), Qt::AlignCenter);
    lblKeyTest->setGeometry(0, 0, 89, 77);
    QFont keyFont = lblKeyTest->font();
    keyFont.setPixelSize(26);
    keyFont.setBold(true);
    lblKeyTest->setFont(keyFont);
    ColorAnimation1 = new QVariantAnimation(this);
    ColorAnimation1->setObjectName(QStringLiteral("ColorAnimation1"));
    ColorAnimation1->setStartValue(QColor::fromRgba(0xFFFFFFFF));
    ColorAnimation1->setEndValue(QColor::fromRgba(0xFFF5DEB3));
    ColorAnimation1->setDuration(500);
    ColorAnimation1->setEasingCurve(QEasingCurve::Linear);
    connect(ColorAnimation1, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &v) { RectTestRemote->setFill(v.value<QColor>().rgba()); });
    btnAffecteRemote = named(new QPushButton(QStringLiteral("Affecter touche"), LayoutTelecommande), "btnAffecteRemote");
    btnAffecteRemote->setGeometry(288, 95, 137, 44);
    stack->addWidget(LayoutTelecommande);

    LayoutWifi = named(new QWidget(content), "LayoutWifi");
    LayoutWifi->setFixedHeight(167);
    LayoutWifi->setMinimumWidth(440);
    Label5 = label(LayoutWifi, "Label5", QStringLiteral("Envoi feuille sur réseau wifi"), Qt::AlignLeft | Qt::AlignBottom);
    Label5->setFont(heading);
    Label5->setGeometry(0, 0, 420, 27);
    Label6 = label(LayoutWifi, "Label6", QStringLiteral("Host serveur :"), Qt::AlignLeft | Qt::AlignVCenter);
    Label6->setGeometry(34, 52, 128, 23);
    EditHost = named(new QLineEdit(LayoutWifi), "EditHost");
    EditHost->setGeometry(168, 48, 115, 32);
    Label7 = label(LayoutWifi, "Label7", QStringLiteral("Port écoute :"), Qt::AlignLeft | Qt::AlignVCenter);
    Label7->setGeometry(34, 91, 112, 23);
    EditPort = named(new QLineEdit(QStringLiteral("50000"), LayoutWifi), "EditPort");
    EditPort->setGeometry(168, 87, 115, 32);
    RadioFeuilleEnCours = radio(LayoutWifi, "RadioFeuilleEnCours", QStringLiteral("feuille en cours"), QRect(34, 127, 166, 19));
    RadioFeuillesArchive = radio(LayoutWifi, "RadioFeuillesArchive", QStringLiteral("archives"), QRect(210, 127, 134, 19));
    auto *wifiGroup = new QButtonGroup(this);
    wifiGroup->setObjectName(QStringLiteral("wifi"));
    wifiGroup->addButton(RadioFeuilleEnCours);
    wifiGroup->addButton(RadioFeuillesArchive);
    RadioFeuilleEnCours->setChecked(true);
    btnprintFeuille = named(new QPushButton(QStringLiteral("Envoyer ..."), LayoutWifi), "btnprintFeuille");
    btnprintFeuille->setGeometry(288, 66, 137, 44);
    stack->addWidget(LayoutWifi);
    buildMatchUi(content, stack);

    Label1 = label(content, "Label1", QString(), Qt::AlignLeft | Qt::AlignTop);
    Label1->setFixedHeight(53);
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label1->setContentsMargins(8, 4, 8, 4);
    stack->addWidget(Label1);
    stack->addStretch(1);
    ScrollBox1->setWidget(content);

    Splitter1->addWidget(LayoutGrid);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({329, 464});
}

void TMainFrm::connectHandlers()
{
    // Every handler runs inside the guard, so no exception ever crosses the event loop.
    auto bind = [this](auto *sender, auto signal, void (TMainFrm::*handler)(QObject *)) {
        connect(sender, signal, this, [this, sender, handler] { guard([&] { (this->*handler)(sender); }); });
    };
    bind(btnStart, &QToolButton::clicked, &TMainFrm::btnStartClick);
    bind(btnAffichTabTools, &QToolButton::clicked, &TMainFrm::btnAffichTabToolsClick);
    bind(btnAffichTabFeuille, &QToolButton::clicked, &TMainFrm::btnAffichTabToolsClick);
    bind(btnClock, &QToolButton::clicked, &TMainFrm::btnClockClick);
    bind(btnClockSum, &QToolButton::clicked, &TMainFrm::btnClockClick);
    bind(btnPrint, &QToolButton::clicked, &TMainFrm::btnPrintClick);
    bind(Nom1Lbl, &TLabel::clicked, &TMainFrm::Nom1LblClick);
    bind(Nom2Lbl, &TLabel::clicked, &TMainFrm::Nom1LblClick);
    bind(Chrono1Lbl, &TLabel::clicked, &TMainFrm::Chrono1LblClick);
    bind(Chrono2Lbl, &TLabel::clicked, &TMainFrm::Chrono1LblClick);
    bind(AutresStatsLbl, &TLabel::clicked, &TMainFrm::AutresStatsLblClick);
    bind(imgPauseChrono, &TLabel::clicked, &TMainFrm::imgPauseChronoClick);
    bind(ImgPlayChrono, &TLabel::clicked, &TMainFrm::imgPauseChronoClick);
    bind(lblChronoPoint, &TLabel::clicked, &TMainFrm::lblChronoPointClick);
    bind(btnDec, &QToolButton::clicked, &TMainFrm::btnAddClick);
    bind(btnAdd, &QToolButton::clicked, &TMainFrm::btnAddClick);
    bind(btnSetSerie, &QToolButton::clicked, &TMainFrm::btnSetSerieClick);
    bind(btnDel, &QPushButton::clicked, &TMainFrm::btnDelClick);
    bind(btnAffecteRemote, &QPushButton::clicked, &TMainFrm::btnAffecteRemoteClick);
    bind(btnprintFeuille, &QPushButton::clicked, &TMainFrm::btnprintFeuilleClick);
    connect(TabControl1, &QTabWidget::currentChanged, this,
            [this] { guard([&] { TabControl1Change(TabControl1); }); });
    for (QRadioButton *r : {RadioPlus, RadioMoins, RadioOK, RadioChrono, RadioFeuilleEnCours, RadioFeuillesArchive})
        r->installEventFilter(this);

    // The grid's selected row and the sheet's current row follow each other.
    connect(Feuille, &InningsTable::currentChanged, this, &TMainFrm::afterTableMoved);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (m_syncingSelection || !current.isValid())
                    return;
                if (current.row() + 1 != Feuille->recNo())
                    guard([&] { Feuille->moveTo(current.row() + 1); });
            });
}

void TMainFrm::afterTableMoved(int index)
{
    if (m_syncingSelection || index < 0 || !StringGrid1)
        return;
    m_syncingSelection = true;
    const QModelIndex cur = StringGrid1->currentIndex();
    const int column = cur.isValid() ? cur.column() : 1;
    StringGrid1->setCurrentIndex(gridModel->index(index, column));
    m_syncingSelection = false;
}
