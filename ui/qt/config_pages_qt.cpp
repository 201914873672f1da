#include "ui/qt/config_pages_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "resources/text_codec.h"
#include "ui/config_pages.h"
#include "ui/config_texts.h"
#include "ui/config_wizard.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/group_frame.h"
#include "ui/qt/product_icon.h"

namespace tarvo::qt {
namespace {

namespace text = tarvo::ui::text;

QString Utf8(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }
QString Cp(const std::string& cp1252) { return Utf8(Cp1252ToUtf8(cp1252)); }
std::string ToCp(const QString& value) { return Utf8ToCp1252(value.toUtf8().toStdString()); }

// Lays a page out in dialog units of the templates' font.
class Layout {
 public:
  explicit Layout(QWidget& page) : m_page(page) {
    page.setFont(TemplateFont());
    page.setFixedSize(m_units.ToPixels(kPageWidth, kPageHeight));
    auto* icon = new QLabel(&page);
    icon->setPixmap(ProductIcon().pixmap(m_units.ToX(32), m_units.ToY(20)));
    icon->move(m_units.ToX(7), m_units.ToY(7));
  }
  template <typename W>
  W* Put(W* widget, int x, int y, int width, int height) {
    widget->setGeometry(m_units.ToPixels(x, y, width, height));
    return widget;
  }
  QLabel* Label(const QString& caption, int x, int y, int width, int height) {
    auto* label = Put(new QLabel(caption, &m_page), x, y, width, height);
    label->setWordWrap(height > 10);
    return label;
  }
  void Line(int x, int y, int width) {
    auto* line = Put(new QFrame(&m_page), x, y, width, 2);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
  }
  QLineEdit* Edit(int x, int y, int width, bool password) {
    auto* edit = Put(new QLineEdit(&m_page), x, y, width, 14);
    if (password) edit->setEchoMode(QLineEdit::Password);
    return edit;
  }
  const DialogUnits& units() const { return m_units; }

 private:
  QWidget& m_page;
  DialogUnits m_units;
};

// The pictures beside the schedule's radio buttons: update (a green circular
// arrow) and do nothing (a grey circle struck through).
QPixmap Picture(bool update, QSize size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const int side = std::min(size.width(), size.height()) - 2;
  const QRectF circle(1, 1, side, side);
  if (update) {
    painter.setPen(QPen(QColor(0x2e, 0x8b, 0x3c), 2.5));
    painter.drawArc(circle.adjusted(2, 2, -2, -2), 60 * 16, 280 * 16);
    const QPointF tip(circle.center().x() + side * 0.28, circle.top() + side * 0.12);
    painter.setBrush(QColor(0x2e, 0x8b, 0x3c));
    painter.drawPolygon(QPolygonF({tip + QPointF(-4, -3), tip + QPointF(3, -2), tip + QPointF(-1, 4)}));
  } else {
    painter.setPen(QPen(QColor(0xa0, 0x30, 0x30), 2.5));
    painter.drawEllipse(circle.adjusted(2, 2, -2, -2));
    painter.drawLine(circle.topLeft() + QPointF(side * 0.25, side * 0.25),
                     circle.bottomRight() - QPointF(side * 0.25, side * 0.25));
  }
  return pixmap;
}

}  // namespace

// --- identification --------------------------------------------------------

IdentificaPage::IdentificaPage(CPropIdentifica& model, const OpenUrl& open, QWidget* parent)
    : ConfigPageWidget(parent), m_model(model) {
  Layout at(*this);
  at.Label(Utf8(text::kIdentificaIntro), 57, 6, 234, 25);
  at.Line(7, 40, 291);
  m_user = at.Label(QString(), 7, 47, 291, 8);
  m_user->setAlignment(Qt::AlignCenter);
  at.Line(7, 62, 291);
  at.Label(Utf8(text::kLogin), 46, 86, 30, 8);
  m_login = at.Edit(46, 96, 105, false);
  at.Label(Utf8(text::kPassword), 158, 86, 30, 8);
  m_password = at.Edit(158, 96, 100, true);
  at.Line(7, 127, 291);
  at.Label(Utf8(text::kIdentificaHelp), 16, 139, 280, 22);
  auto* signUp = at.Put(new QPushButton(QStringLiteral("Quero me cadastrar"), this), 46, 164, 105, 14);
  auto* forgot = at.Put(new QPushButton(QStringLiteral("Esqueci a minha senha"), this), 158, 164, 100, 14);
  connect(m_login, &QLineEdit::textEdited, this, [this](const QString& value) { m_model.EditLogin(ToCp(value)); });
  connect(m_password, &QLineEdit::textEdited, this,
          [this](const QString& value) { m_model.EditPassword(ToCp(value)); });
  connect(signUp, &QPushButton::clicked, this, [this, open] { m_model.m_register.Click(open); });
  connect(forgot, &QPushButton::clicked, this, [this, open] { m_model.m_forgot.Click(open); });
}

void IdentificaPage::Refresh() {
  m_user->setText(Utf8(m_model.UserCaption()));
  m_login->setText(Cp(m_model.m_login));
  m_password->setText(Cp(m_model.m_password));
}

// --- schedule -----------------------------------------------------------------

GeralPage::GeralPage(CPropGeral& model, QWidget* parent) : ConfigPageWidget(parent), m_model(model) {
  Layout at(*this);
  at.Label(Utf8(text::kGeralIntro), 57, 7, 241, 20);
  at.Line(7, 40, 291);
  const QSize pictureSize = at.units().ToPixels(32, 15);
  const auto group = [&](const char* title, int top, QRadioButton*& update, QRadioButton*& nothing) {
    at.Label(Utf8(title), 100, top, 120, 8)->setAlignment(Qt::AlignHCenter);
    auto* buttons = new QButtonGroup(this);  // each pair is exclusive on its own
    for (const bool first : {true, false}) {
      const int y = top + (first ? 15 : 35);
      auto* picture = at.Put(new QLabel(this), 91, y, 32, 15);
      picture->setPixmap(Picture(first, pictureSize));
      QRadioButton*& button = first ? update : nothing;
      button = at.Put(new QRadioButton(Utf8(first ? text::kUpdate : text::kDoNothing), this), 143, y + 4, 90, 10);
      buttons->addButton(button);
    }
  };
  group(text::kNextAction, 50, m_nextUpdate, m_nextNothing);
  at.Line(7, 116, 291);
  group(text::kDefaultAction, 130, m_defaultUpdate, m_defaultNothing);
  connect(m_nextUpdate, &QRadioButton::toggled, this, [this](bool on) {
    if (!m_refreshing) m_model.SetNext(on);
  });
  connect(m_defaultUpdate, &QRadioButton::toggled, this, [this](bool on) {
    if (!m_refreshing) m_model.SetDefault(on);
  });
}

void GeralPage::Refresh() {
  m_refreshing = true;
  (m_model.m_next != 0 ? m_nextUpdate : m_nextNothing)->setChecked(true);
  (m_model.m_default != 0 ? m_defaultUpdate : m_defaultNothing)->setChecked(true);
  m_refreshing = false;
}

// --- connection ---------------------------------------------------------------

CommPage::CommPage(CPropComm& model, QWidget* parent) : ConfigPageWidget(parent), m_model(model) {
  Layout at(*this);
  at.Label(Utf8(text::kCommIntro), 57, 7, 221, 22);
  m_serverGroup = at.Put(new GroupFrame(Utf8(text::kServerGroup), this), 7, 28, 291, 50);
  at.Label(Utf8(text::kTimeout), 13, 38, 95, 8);
  m_timeoutText = at.Label(QString(), 111, 38, 126, 8);
  m_slider = at.Put(new QSlider(Qt::Horizontal, this), 23, 48, 258, 22);
  m_slider->setRange(CPropComm::kTimeoutMin, CPropComm::kTimeoutMax);
  m_slider->setTickInterval(CPropComm::kTimeoutStep);
  m_slider->setSingleStep(CPropComm::kTimeoutStep);
  m_slider->setPageStep(CPropComm::kTimeoutStep * 4);
  m_slider->setTickPosition(QSlider::TicksBothSides);
  at.Put(new GroupFrame(Utf8(text::kProxyGroup), this), 7, 82, 291, 109);
  m_useProxy = at.Put(new QCheckBox(Utf8(text::kUseProxy), this), 18, 94, 260, 10);
  at.Label(Utf8(text::kProxyHost), 18, 114, 30, 8);
  m_host = at.Edit(50, 111, 152, false);
  at.Label(Utf8(text::kProxyPort), 210, 114, 20, 8);
  m_port = at.Edit(232, 111, 50, false);
  m_useAuth = at.Put(new QCheckBox(Utf8(text::kUseAuth), this), 18, 129, 160, 10);
  at.Label(Utf8(text::kProxyUser), 18, 145, 30, 8);
  m_user = at.Edit(50, 142, 95, false);
  at.Label(Utf8(text::kProxyPassword), 153, 145, 26, 8);
  m_password = at.Edit(181, 142, 101, true);
  at.Label(Utf8(text::kDomain), 18, 165, 30, 8);
  m_domain = at.Edit(50, 161, 96, false);

  // A change of the slider by keys or a click on its track counts as a
  // release too: the position always snaps.
  connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
    if (m_refreshing || m_slider->isSliderDown()) return;
    m_model.ReleaseSlider(value);
    Refresh();
  });
  connect(m_slider, &QSlider::sliderReleased, this, [this] {
    m_model.ReleaseSlider(m_slider->value());
    Refresh();
  });
  connect(m_useProxy, &QCheckBox::toggled, this, [this](bool on) {
    if (m_refreshing) return;
    m_model.SetUseProxy(on);
    Refresh();
  });
  connect(m_useAuth, &QCheckBox::toggled, this, [this](bool on) {
    if (m_refreshing) return;
    m_model.SetUseAuth(on);
    Refresh();
  });
  connect(m_host, &QLineEdit::textEdited, this, [this](const QString& v) { m_model.EditProxyHost(ToCp(v)); });
  connect(m_port, &QLineEdit::textEdited, this, [this](const QString& v) { m_model.EditProxyPort(v.toStdString()); });
  connect(m_user, &QLineEdit::textEdited, this, [this](const QString& v) { m_model.EditProxyUser(ToCp(v)); });
  connect(m_password, &QLineEdit::textEdited, this, [this](const QString& v) { m_model.EditProxyPassword(ToCp(v)); });
  connect(m_domain, &QLineEdit::textEdited, this, [this](const QString& v) { m_model.EditDomain(ToCp(v)); });
}

void CommPage::Refresh() {
  m_refreshing = true;
  m_slider->setValue(m_model.m_timeout);
  m_timeoutText->setText(Utf8(m_model.m_timeoutText));
  m_useProxy->setChecked(m_model.m_useProxy != 0);
  m_host->setText(Cp(m_model.m_proxyHost));
  m_port->setText(Utf8(m_model.PortText()));
  m_host->setEnabled(m_model.ProxyFieldsEnabled());
  m_port->setEnabled(m_model.ProxyFieldsEnabled());
  m_useAuth->setChecked(m_model.m_useAuth != 0);
  m_user->setText(Cp(m_model.m_proxyUser));
  m_password->setText(Cp(m_model.m_proxyPassword));
  m_domain->setText(Cp(m_model.m_domain));
  for (QLineEdit* edit : {m_user, m_password, m_domain}) edit->setEnabled(m_model.AuthFieldsEnabled());
  m_refreshing = false;
}

// --- the wizard's own pages ---------------------------------------------------

UsuarioPage::UsuarioPage(CPropUsuario& model, QWidget* parent) : ConfigPageWidget(parent), m_model(model) {
  Layout at(*this);
  at.Label(Utf8(text::kWelcome), 57, 7, 225, 11);
  at.Label(Utf8(text::kWelcomeHelp), 57, 34, 225, 19);
  at.Label(Utf8(text::kChooseUserHelp), 57, 57, 225, 20);
  at.Line(7, 94, 291);
  at.Label(Utf8(text::kUsers), 95, 115, 120, 8)->setAlignment(Qt::AlignHCenter);
  m_users = at.Put(new QComboBox(this), 84, 126, 136, 14);
  connect(m_users, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!m_refreshing && index >= 0) m_model.Select(static_cast<std::size_t>(index));
  });
}

void UsuarioPage::Refresh() {
  m_refreshing = true;
  m_users->clear();
  for (const std::string& user : m_model.m_users) m_users->addItem(Cp(user));
  m_users->setCurrentIndex(m_model.m_users.empty() ? -1 : static_cast<int>(m_model.m_selected));
  m_refreshing = false;
}

FinalPage::FinalPage(CPropFinal& model, const OpenUrl& open, const std::function<void(bool)>& another, QWidget* parent)
    : ConfigPageWidget(parent), m_model(model) {
  Layout at(*this);
  at.Label(Utf8(text::kDone), 57, 7, 214, 13);
  at.Line(7, 35, 291);
  at.Label(Utf8(text::kMoreInfo), 57, 48, 192, 19);
  CStaticLink* links[3] = {&m_model.m_linkSite, &m_model.m_linkFaq, &m_model.m_linkTerms};
  for (int i = 0; i < 3; ++i) {
    m_links[i] = at.Label(QString(), 57, 75 + 15 * i, 214, 15);
    m_links[i]->setTextFormat(Qt::RichText);
    connect(m_links[i], &QLabel::linkActivated, this, [this, link = links[i], open](const QString&) {
      link->Click(open);
      Refresh();
    });
  }
  at.Line(7, 122, 291);
  m_another = at.Put(new QCheckBox(Utf8(text::kAnother), this), 63, 134, 230, 10);
  connect(m_another, &QCheckBox::toggled, this, [this, another](bool on) {
    if (!m_refreshing) another(on);
  });
}

void FinalPage::Refresh() {
  m_refreshing = true;
  const CStaticLink* links[3] = {&m_model.m_linkSite, &m_model.m_linkFaq, &m_model.m_linkTerms};
  for (int i = 0; i < 3; ++i) {
    const QString colour =
        QStringLiteral("#%1").arg(((links[i]->TextColour() & 0xFF) << 16) | (links[i]->TextColour() & 0xFF00) |
                                      ((links[i]->TextColour() >> 16) & 0xFF),
                                  6, 16, QLatin1Char('0'));
    m_links[i]->setText(
        QStringLiteral("<a href=\"%1\" style=\"color:%2\">%3</a>")
            .arg(Utf8(links[i]->m_url).toHtmlEscaped(), colour, Utf8(links[i]->m_text).toHtmlEscaped()));
  }
  m_another->setChecked(m_model.m_another != 0);
  m_refreshing = false;
}

}  // namespace tarvo::qt
