#include "accounts/utils.h"

#include "base/caughtlog.h"
#include "editing/pdfprinter.h"

#include <QtDebug>

#include <cryptopp/aes.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/modes.h>
#include <cryptopp/sha.h>

#include <exception>
#include <string>

namespace {

// The key phrase: the Base64 text of 128 random bytes, used as text, byte
// for byte. Changing it makes every stored password unreadable.
const char keyPhrase[] =
        "gxO/opJYSWkvCfXzRm7u5ydm+6kRcCtAsjAAFS/F++TAxDEvLXmiNUHdv8cOGD7ErPSnTzAqvqJ3FkQy"
        "EmV9BB/SjRvmnL1hF9cxVqIlJL8jgTXbfC+cPwdKnFMAw6UtcrOdAwAzEmw4Iz1I2Vvm+r8GAf7KGgdF"
        "wSk/pHeYqBQ=";
static_assert(sizeof(keyPhrase) - 1 == 172, "the key phrase is 172 characters long");

struct KeyMaterial
{
    CryptoPP::byte key[CryptoPP::AES::MAX_KEYLENGTH];
    CryptoPP::byte iv[CryptoPP::AES::BLOCKSIZE] = {};
};

// Worked out afresh on every call so nothing secret stays in memory.
KeyMaterial deriveKey()
{
    CryptoPP::byte digest[CryptoPP::SHA512::DIGESTSIZE];
    CryptoPP::SHA512().CalculateDigest(digest,
            reinterpret_cast<const CryptoPP::byte *>(keyPhrase), sizeof(keyPhrase) - 1);
    KeyMaterial m;
    std::copy(digest, digest + sizeof(m.key), m.key);
    return m;
}

} // namespace

Utils::Utils(QObject *parent)
    : QObject(parent)
{
}

QString Utils::encrypt(const QString &text)
{
    std::string out;
    try {
        const KeyMaterial m = deriveKey();
        CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption cipher(m.key, sizeof(m.key), m.iv);
        const QByteArray plain = text.toUtf8();
        CryptoPP::StringSource source(
                reinterpret_cast<const CryptoPP::byte *>(plain.constData()), size_t(plain.size()), true,
                new CryptoPP::StreamTransformationFilter(
                        cipher, new CryptoPP::HexEncoder(new CryptoPP::StringSink(out), true),
                        CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING));
    } catch (const CryptoPP::Exception &e) {
        LOG_CAUGHT("CryptoPP::Exception", e);
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return QString::fromUtf8(out.data(), int(out.size()));
}

QString Utils::decrypt(const QString &sealed)
{
    std::string out;
    try {
        const KeyMaterial m = deriveKey();
        CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption cipher(m.key, sizeof(m.key), m.iv);
        const QByteArray hex = sealed.toUtf8();
        // The hex decoder skips every character that is not a digit.
        CryptoPP::StringSource source(
                reinterpret_cast<const CryptoPP::byte *>(hex.constData()), size_t(hex.size()), true,
                new CryptoPP::HexDecoder(new CryptoPP::StreamTransformationFilter(
                        cipher, new CryptoPP::StringSink(out),
                        CryptoPP::BlockPaddingSchemeDef::PKCS_PADDING)));
    } catch (const CryptoPP::Exception &e) {
        LOG_CAUGHT("CryptoPP::Exception", e);
    } catch (const std::exception &e) {
        LOG_CAUGHT("std::exception", e);
    }
    return QString::fromUtf8(out.data(), int(out.size()));
}

void Utils::printToPdf(const QString &text, const QString &name)
{
    PdfPrinter::printToPdf(text, name);
}
