#include "ui/qt/QtBackend.h"

#include <QApplication>
#include <QEventLoop>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "forms/Form.h"
#include "ui/qt/QtFonts.h"
#include "ui/qt/QtFormView.h"

namespace t7::qt {
namespace {

constexpr double kTwipsPerPixel = 15.0;
constexpr double kBaseDpi = 96.0;

QtFormView* viewOf(const Form& form) {
    return dynamic_cast<QtFormView*>(form.view());
}

}  // namespace

int twipsToPixels(int twips) {
    double ratio = 1.0;
    if (QScreen* screen = QGuiApplication::primaryScreen()) ratio = screen->logicalDotsPerInch() / kBaseDpi;
    return static_cast<int>(std::lround(twips * ratio / kTwipsPerPixel));
}

QtBackend::QtBackend(int& argc, char** argv) {
    if (!QApplication::instance()) {
        m_ownApp = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationName(QStringLiteral("T7Setup"));
    }
    // The runtime decides when the run ends, not the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    // The forms were drawn for the classic Windows look: frame captions sit
    // in the frame's line, controls have their classic metrics.
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) QApplication::setStyle(classic);
    installFonts();
}

QtBackend::~QtBackend() {
    // Windows of unloaded forms wait for deferred deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<IFormView> QtBackend::createView(Form& form) {
    return std::make_unique<QtFormView>(*this, form);
}

void QtBackend::viewCreated(QtFormView* view) {
    m_views.push_back(view);
}

void QtBackend::viewDestroyed(QtFormView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    visibilityChanged();
}

void QtBackend::visibilityChanged() {
    if (!m_mainLoop) return;
    // Looked at once the current step is over: a page shows the next page
    // before it closes itself, so the moment in between does not count.
    QTimer::singleShot(0, m_mainLoop, [this] { checkForVisibleForms(); });
}

void QtBackend::checkForVisibleForms() {
    if (!m_mainLoop || !m_loops.empty()) return;
    const bool anyShown =
        std::any_of(m_views.begin(), m_views.end(), [](const QtFormView* v) { return v->windowShown(); });
    // Loaded forms that nobody can see can get no more input.
    if (!anyShown) m_mainLoop->quit();
}

void QtBackend::runModal(Form& form) {
    QtFormView* view = viewOf(form);
    if (!view || !form.isVisible()) return;
    QEventLoop loop;
    view->setModalLoop(&loop);
    m_loops.push_back(&loop);
    loop.exec();
    m_loops.pop_back();
    // The view is gone when the dialog unloaded.
    if (QtFormView* still = viewOf(form)) still->setModalLoop(nullptr);
    rethrowFailure();
}

void QtBackend::run() {
    rethrowFailure();
    if (std::none_of(m_views.begin(), m_views.end(), [](const QtFormView* v) { return v->windowShown(); })) {
        return;
    }
    QEventLoop loop;
    m_mainLoop = &loop;
    loop.exec();
    m_mainLoop = nullptr;
    rethrowFailure();
}

void QtBackend::quit() {
    // The runtime asks only when its last form has gone; outside run() there
    // is nothing to end.
    if (m_mainLoop) m_mainLoop->quit();
}

void QtBackend::processPendingMessages() {
    QCoreApplication::processEvents();
    rethrowFailure();
}

MsgResult QtBackend::showMessageBox(const MessageBoxRequest& request) {
    return m_boxes.show(request);
}

QWidget* QtBackend::windowOf(const Form& form) {
    QtFormView* view = viewOf(form);
    return view ? view->window() : nullptr;
}

QWidget* QtBackend::widgetOf(Control& control) {
    QtFormView* view = viewOf(control.form());
    return view ? view->widgetOf(control) : nullptr;
}

void QtBackend::failed(std::exception_ptr error) {
    if (!m_failure) m_failure = error;
    if (!m_loops.empty()) {
        m_loops.back()->quit();
    } else if (m_mainLoop) {
        m_mainLoop->quit();
    }
}

void QtBackend::rethrowFailure() {
    if (!m_failure) return;
    std::exception_ptr error = m_failure;
    m_failure = nullptr;
    std::rethrow_exception(error);
}

}  // namespace t7::qt
