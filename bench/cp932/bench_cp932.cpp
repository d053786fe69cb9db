// Code page 932 conversion and byte count on 10 MB of mixed Japanese text, with glibc's iconv
// converting the same text in the same run as the yardstick. Figures are MB/s of code page 932
// bytes (the size of the converted text), so every row counts the same megabytes; each is the
// best of several rounds, so a busy moment on the machine does not count against one side.

#include "platform/cp932.h"

#include <QRandomGenerator>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iconv.h>

namespace {

QString g_text;
QByteArray g_bytes;

// Sentences of kanji, kana, punctuation, ASCII words and numbers and some half-width katakana,
// in lines, until the converted text reaches the wanted size.
QString mixedJapaneseText(qsizetype cp932Bytes)
{
    const QString kanji
        = QStringLiteral("日本語文書編集保存開閉読書作成削除変更確認設定表示検索置換印刷送信受信時間場所人物会社社会"
                         "学校先生生活問題意味気分天気電話番号住所名前今日明日昨日東京大阪京都北海道九州新聞記事写真"
                         "音楽映画旅行料理家族友達仕事休日週末朝昼夜春夏秋冬山川海空雨雪風花鳥月星光道駅車電車飛行機");
    const QString punctuation = QStringLiteral("、。「」・ー（）！？");
    const QString halfWidth = QStringLiteral("ｱｲｳｴｵｶｷｸｹｺﾃｷｽﾄﾃﾞｰﾀ");
    const char *words[] = { "Lumeno", "server", "data", "2026", "OK", "vidodu.cgi", "HTTP", "UTF-8" };

    QRandomGenerator random(932);
    QString text;
    qsizetype bytes = 0;
    while (bytes < cp932Bytes) {
        QString line;
        for (int n = random.bounded(20, 60); n > 0; --n) {
            const int kind = random.bounded(100);
            if (kind < 35)
                line += kanji[random.bounded(int(kanji.size()))];
            else if (kind < 65)
                line += QChar(char16_t(0x3041 + random.bounded(0x53))); // hiragana
            else if (kind < 78)
                line += QChar(char16_t(0x30A1 + random.bounded(0x56))); // katakana
            else if (kind < 86)
                line += punctuation[random.bounded(int(punctuation.size()))];
            else if (kind < 97)
                line += QLatin1String(words[random.bounded(8)]) + QLatin1Char(' ');
            else
                line += halfWidth[random.bounded(int(halfWidth.size()))];
        }
        line += QLatin1Char('\n');
        bytes += cp932::ByteCount(line);
        text += line;
    }
    return text;
}

// glibc's converter, reused like the program reuses its tables.
class Iconv {
public:
    Iconv(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // The converted size, or -1 when iconv refused a character.
    qsizetype convert(const char *in, size_t inSize, char *out, size_t outSize)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char *src = const_cast<char *>(in);
        char *dst = out;
        const size_t room = outSize;
        if (iconv(m_cd, &src, &inSize, &dst, &outSize) == static_cast<size_t>(-1))
            return -1;
        return static_cast<qsizetype>(room - outSize);
    }

private:
    iconv_t m_cd;
};

// The best time of one call over a few rounds, at least half a second in all.
double bestSeconds(const std::function<void()> &work)
{
    using Clock = std::chrono::steady_clock;
    double best = 1e9;
    const auto start = Clock::now();
    for (int round = 0; round < 5 || Clock::now() - start < std::chrono::milliseconds(500); ++round) {
        const auto t0 = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

double rate(double seconds)
{
    return g_bytes.size() / 1e6 / seconds;
}

void report(const char *name, double ours, const char *baseline, double theirs)
{
    std::printf("  %-10s %7.0f MB/s   %-14s %6.0f MB/s   ratio %5.2fx\n", name, rate(ours), baseline, rate(theirs),
        theirs / ours);
}

} // namespace

int main()
{
    g_text = mixedJapaneseText(10'000'000);
    g_bytes = cp932::Encode(g_text);

    Iconv toCp932("CP932", "UTF-16LE");
    Iconv fromCp932("UTF-16LE", "CP932");
    if (!toCp932.ok() || !fromCp932.ok()) {
        std::fprintf(stderr, "bench_cp932: glibc iconv has no CP932 converter\n");
        return 1;
    }
    // Each side gets a fresh output buffer per call, as the program's functions do.
    QByteArray encoded;
    QString decoded;
    const auto iconvEncode = [&] {
        QByteArray out(g_text.size() * 2, Qt::Uninitialized);
        const qsizetype n = toCp932.convert(
            reinterpret_cast<const char *>(g_text.utf16()), g_text.size() * 2, out.data(), out.size());
        out.resize(std::max<qsizetype>(n, 0));
        encoded = std::move(out);
    };
    const auto iconvDecode = [&] {
        QString out(g_bytes.size(), Qt::Uninitialized);
        const qsizetype n = fromCp932.convert(
            g_bytes.constData(), g_bytes.size(), reinterpret_cast<char *>(out.data()), out.size() * 2);
        out.resize(std::max<qsizetype>(n / 2, 0));
        decoded = std::move(out);
    };

    // Both converters must agree on this text, or the comparison means nothing.
    iconvEncode();
    iconvDecode();
    if (encoded != g_bytes || decoded != g_text || cp932::Decode(g_bytes) != g_text) {
        std::fprintf(stderr, "bench_cp932: iconv and the code page disagree on the test text\n");
        return 1;
    }

    qsizetype sink = 0;
    const double iconvEncodeTime = bestSeconds(iconvEncode);
    const double iconvDecodeTime = bestSeconds(iconvDecode);
    const double encodeTime = bestSeconds([&] { sink += cp932::Encode(g_text).size(); });
    const double decodeTime = bestSeconds([&] { sink += cp932::Decode(g_bytes).size(); });
    const double countTime = bestSeconds([&] { sink += cp932::ByteCount(g_text); });

    std::printf("Code page 932 on %.1f MB of mixed Japanese text (%lld UTF-16 units), glibc iconv as yardstick:\n",
        g_bytes.size() / 1e6, static_cast<long long>(g_text.size()));
    report("Encode", encodeTime, "iconv to 932", iconvEncodeTime);
    report("Decode", decodeTime, "iconv from 932", iconvDecodeTime);
    // Counting bytes the ordinary way means converting and taking the length.
    report("ByteCount", countTime, "iconv to 932", iconvEncodeTime);
    return sink > 0 ? 0 : 1;
}
