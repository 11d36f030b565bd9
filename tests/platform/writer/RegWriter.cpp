// Writes string values into an existing HKEY_LOCAL_MACHINE key of a store, one after the
// other, and reports each finished write on stdout, so that a test can kill it at any moment
// and know which writes were complete.
//
//   regwriter DIR KEY PREFIX COUNT FIRST_ROUND ROUNDS
//
// Write w (from 0) sets value PREFIX + (w % COUNT) to stressText(PREFIX, w % COUNT,
// FIRST_ROUND + w / COUNT) and then prints "w+1". ROUNDS 0 writes until killed.

#include "StressText.h"
#include "platform/Errors.h"
#include "platform/Registry.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("usage: regwriter DIR KEY PREFIX COUNT FIRST_ROUND ROUNDS\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QString key = QString::fromLocal8Bit(argv[2]);
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    const int count = QByteArray(argv[4]).toInt();
    const qint64 firstRound = QByteArray(argv[5]).toLongLong();
    const qint64 rounds = QByteArray(argv[6]).toLongLong();
    try {
        Registry registry(RegRoot::LocalMachine, dir);
        if (!registry.openKey(key, false)) {
            std::fputs("regwriter: the key does not exist\n", stderr);
            return 1;
        }
        for (qint64 w = 0; rounds == 0 || w < rounds * count; ++w) {
            const int index = int(w % count);
            registry.writeString(stressName(prefix, index),
                                 stressText(prefix, index, firstRound + w / count));
            std::printf("%lld\n", static_cast<long long>(w + 1));
            std::fflush(stdout);
        }
    } catch (const AppError& e) {
        std::fprintf(stderr, "regwriter: %s\n", e.what());
        return 1;
    }
    return 0;
}
