#include "servers/wizard.h"

#include "net/connection.h"
#include "servers/incomingserver.h"
#include "servers/outgoingserver.h"
#include "servers/servermanager.h"

namespace {
// An answer closes one open question of its kind; a stray one closes none.
void closeQuestion(int &open)
{
    if (open > 0)
        --open;
}
} // namespace

Wizard::Wizard(QObject *parent)
    : QObject(parent)
{
}

Wizard::~Wizard()
{
    reset();
}

void Wizard::setCurrentStep(Step step)
{
    if (m_currentStep == step)
        return;
    m_currentStep = step;
    emit currentStepChanged();
}

void Wizard::setIncomingServer(Server *server)
{
    if (m_incomingServer == server)
        return;
    m_incomingServer = server;
    emit incomingServerQmlChanged();
}

void Wizard::setOutgoingServer(Server *server)
{
    if (m_outgoingServer == server)
        return;
    m_outgoingServer = server;
    emit outgoingServerQmlChanged();
}

void Wizard::nextStep()
{
    if (m_currentStep == EMAIL_STEP) {
        setCurrentStep(SEARCHING_STEP);
        startSearch();
    } else if (m_currentStep == FOUND_STEP) {
        setCurrentStep(NAME_STEP);
    }
}

void Wizard::startSearch()
{
    const QString email = m_email.trimmed();
    const int at = email.indexOf(QLatin1Char('@'));
    // Without a local part, an "@" and a domain there is nothing to search.
    if (email.isEmpty() || at <= 0 || at == email.size() - 1) {
        setCurrentStep(FOUND_STEP);
        return;
    }
    m_attempted.clear();
    m_login = email.left(at);
    const QString domain = email.mid(at + 1);
    m_saveLogin = true;
    m_savePassword = false;

    m_pop3Candidates = QStringList{QStringLiteral("pop3.") + domain, QStringLiteral("pop.") + domain};
    m_imapCandidates = QStringList{QStringLiteral("imap4.") + domain, QStringLiteral("imap.") + domain};
    m_smtpCandidates = QStringList{QStringLiteral("smtp.") + domain};

    stopConnection();
    m_connection = std::make_unique<Connection>();
    Connection *c = m_connection.get();
    connect(this, &Wizard::setUsername, c, &Connection::setUsername, Qt::QueuedConnection);
    connect(this, &Wizard::setPassword, c, &Connection::setPassword, Qt::QueuedConnection);
    connect(c, &Connection::error, this, &Wizard::onConnectionError, Qt::QueuedConnection);
    connect(c, &Connection::queryUsername, this, &Wizard::onQueryUsername, Qt::QueuedConnection);
    connect(c, &Connection::queryPassword, this, &Wizard::onQueryPassword, Qt::QueuedConnection);
    connect(c, &Connection::authFailed, this, &Wizard::onAuthFailed, Qt::QueuedConnection);

    c->setAuthenticator(true, m_login, QString());
    c->setAuthenticator(false, m_login, QString());
    c->start();

    tryNextServer();
}

void Wizard::wireRecord(Server *record)
{
    // Replies of a record that is no longer under test (still queued when a
    // search was reset, say) carry an old serial and are dropped; the record
    // itself may be gone by then.
    const int serial = ++m_serial;
    m_underTestSerial = serial;
    connect(this, &Wizard::testConnection, record, &Server::testConnection, Qt::QueuedConnection);
    connect(this, &Wizard::certificateAnswer, record, &Server::onCertificateAnswer, Qt::QueuedConnection);
    connect(record, &Server::testConnectionResult, this, [this, serial](bool result) {
        if (serial == m_underTestSerial)
            onTestConnectionResult(result);
    }, Qt::QueuedConnection);
    connect(record, &Server::queryCertificate, this, [this, serial](int question, QString text) {
        if (serial == m_underTestSerial)
            onQueryCertificate(question, text);
    }, Qt::QueuedConnection);
}

void Wizard::answerOpenQuestions()
{
    // An empty answer or a refusal lets the waiting connect end by itself.
    for (; m_openUsernameQuestions > 0; --m_openUsernameQuestions)
        emit setUsername(QString());
    for (; m_openPasswordQuestions > 0; --m_openPasswordQuestions)
        emit setPassword(QString());
    for (const int question : qAsConst(m_certificateQuestions))
        emit certificateAnswer(question, false);
    m_certificateQuestions.clear();
}

void Wizard::tryNextServer()
{
    disconnect(this, &Wizard::testConnection, nullptr, nullptr);
    if (!m_connection)
        return;
    if (hasOpenQuestions()) {
        // The record under test is inside its connect, waiting for an
        // answer: end the wait, and move on once that test has reported.
        // Replacing the record now would delete it under the waiting call.
        m_movingOn = true;
        answerOpenQuestions();
        return;
    }
    m_movingOn = false;

    if (m_pop3Candidates.isEmpty() && m_imapCandidates.isEmpty()) {
        if (m_smtpCandidates.isEmpty()) {
            m_underTestAddress.clear();
            setCurrentStep(FOUND_STEP);
            return;
        }
        auto *record = new OutgoingServer;
        record->setConnectionFields(ServerKind::SMTP, ServerKind::AUTO_SSL,
                                    ServerKind::AUTO_AUTH, m_smtpCandidates.takeFirst());
        m_outgoingTest = record;
        putUnderTest(record, false);
        return;
    }

    // IMAP first: it keeps the mail on the server for the user's other
    // devices, where POP3 would only copy it here.
    auto *record = new IncomingServer;
    const bool imap = !m_imapCandidates.isEmpty();
    record->setConnectionFields(imap ? ServerKind::IMAP : ServerKind::POP3,
                                ServerKind::AUTO_SSL, ServerKind::AUTO_AUTH,
                                imap ? m_imapCandidates.takeFirst() : m_pop3Candidates.takeFirst());
    m_incomingTest = record;
    putUnderTest(record, true);
}

void Wizard::putUnderTest(Server *record, bool incoming)
{
    m_underTestAddress = record->address();
    m_attempted << m_underTestAddress;
    wireRecord(record);
    // The test connection owns the record from here and deletes the one it
    // held before.
    m_connection->setServer(incoming, record);
    m_testingOutgoing = !incoming;
    emit testConnection();
}

void Wizard::onTestConnectionResult(bool result)
{
    Server *underTest = m_testingOutgoing ? m_outgoingTest.data() : m_incomingTest.data();
    if (!result || m_movingOn) {
        tryNextServer();
        return;
    }
    if (!underTest) {
        tryNextServer();
        return;
    }
    // Plain copies on this thread; the record under test stays with the
    // worker thread. The security mode is the one the probe settled on.
    Server *found = underTest->clone();
    found->setParent(this);
    if (m_testingOutgoing) {
        delete m_outgoingServer;
        m_outgoingServer = found;
        emit outgoingServerQmlChanged();
        m_smtpCandidates.clear();
    } else {
        delete m_incomingServer;
        m_incomingServer = found;
        emit incomingServerQmlChanged();
        m_pop3Candidates.clear();
        m_imapCandidates.clear();
    }
    tryNextServer();
}

void Wizard::onConnectionError(QString str)
{
    Q_UNUSED(str)
    onTestConnectionResult(false);
}

void Wizard::tryCurrentServer()
{
    // A second connect on a record whose first one still waits for an
    // answer would run inside that wait.
    if (hasOpenQuestions())
        return;
    emit testConnection();
}

void Wizard::onAuthFailed(QString e)
{
    // The refusal that follows an empty answer given to move on is not news
    // for the user.
    if (m_movingOn) {
        tryNextServer();
        return;
    }
    emit authFailedQml(e);
}

bool Wizard::hasOpenQuestions() const
{
    return m_openUsernameQuestions > 0 || m_openPasswordQuestions > 0
            || !m_certificateQuestions.isEmpty();
}

void Wizard::onQueryUsername()
{
    ++m_openUsernameQuestions;
    emit queryUsernameQml();
}

void Wizard::onQueryPassword()
{
    ++m_openPasswordQuestions;
    emit queryPasswordQml();
}

void Wizard::onQueryCertificate(int question, QString text)
{
    m_certificateQuestions.append(question);
    emit queryCertificateQml(question, text);
}

void Wizard::setUsernameQml(QString name, bool save)
{
    m_login = name;
    m_saveLogin = save;
    closeQuestion(m_openUsernameQuestions);
    emit setUsername(name);
}

void Wizard::setPasswordQml(QString pass, bool save)
{
    m_password = pass;
    m_savePassword = save;
    closeQuestion(m_openPasswordQuestions);
    emit setPassword(pass);
}

void Wizard::certificateAnswerQml(int question, bool answer)
{
    // Only an open question is answered, and only by its own answer.
    if (m_certificateQuestions.removeAll(question) > 0)
        emit certificateAnswer(question, answer);
}

void Wizard::stopConnection()
{
    if (!m_connection)
        return;
    answerOpenQuestions();
    // The connection's destructor ends its thread, also out of a wait for an
    // answer, and deletes its test records with it.
    m_connection.reset();
    m_openUsernameQuestions = m_openPasswordQuestions = 0;
    m_certificateQuestions.clear();
    m_movingOn = false;
}

void Wizard::reset()
{
    disconnect(this, &Wizard::testConnection, nullptr, nullptr);
    stopConnection();
    m_incomingTest.clear();
    m_outgoingTest.clear();
    m_underTestSerial = 0;
    m_underTestAddress.clear();
    m_attempted.clear();
    if (m_incomingServer) {
        delete m_incomingServer;
        m_incomingServer = nullptr;
        emit incomingServerQmlChanged();
    }
    if (m_outgoingServer) {
        delete m_outgoingServer;
        m_outgoingServer = nullptr;
        emit outgoingServerQmlChanged();
    }
    setCurrentStep(EMAIL_STEP);
}
