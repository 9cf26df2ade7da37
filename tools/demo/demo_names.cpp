#include "demo_names.h"
#include "demo_random.h"

namespace {

const QStringList &words()
{
    static const QStringList list = {
        "Kara", "Ak", "Yeni", "Çam", "Kızıl", "Eski", "Gök", "Sarı", "Kuş", "Gül", "Taş",
        "Demir", "Bağ", "Çınar", "Söğüt", "Kavak", "Meşe", "Değirmen", "Yıldız", "Koca",
        "Ördek", "İnce", "Üç", "Şahin", "Doğan", "Tuz", "Soğuk", "Uzun", "Orta", "Büyük",
        "Küçük", "Aslan", "Kurt", "Ceviz", "Armut", "Elma", "Üzüm", "İğde", "Kartal", "Boz",
        "Yeşil", "Ilgın", "Şeyh", "Kır", "Bey", "Hacı", "Dut", "Erik", "Ayva", "Göl", "Çakır",
        "Ören", "Pınar", "Yaylacık", "Kestane", "Ardıç", "Pelit", "Karaağaç", "Ilıca",
    };
    return list;
}

const QStringList &endings()
{
    static const QStringList list = {
        "köy", "ova", "dere", "pınar", "yayla", "tepe", "çay", "ören", "alan", "bük", "kaya",
        "su", "oba", "hisar", "pazar", "yurt", "göl", "çeşme", "dağ", "ağaç", "bel", "yazı",
        "kuyu", "ağıl", "özü", "burun",
    };
    return list;
}

QString pick(const QStringList &list, Rng &rng) { return list[rng.below(int(list.size()))]; }

// The vowel of a suffix after the word, by Turkish vowel harmony: of ı/i/u/ü, or of a/e.
QChar harmony(const QString &word, bool fourWay)
{
    for (qsizetype i = word.size() - 1; i >= 0; --i) {
        const QChar c = word[i];
        if (QStringLiteral("aAıI").contains(c))
            return fourWay ? u'ı' : u'a';
        if (QStringLiteral("oOuU").contains(c))
            return fourWay ? u'u' : u'a';
        if (QStringLiteral("eEiİ").contains(c))
            return fourWay ? u'i' : u'e';
        if (QStringLiteral("öÖüÜ").contains(c))
            return fourWay ? u'ü' : u'e';
    }
    return fourWay ? u'i' : u'e';
}

bool endsVoiceless(const QString &word)
{
    return QStringLiteral("çfhkpsşt").contains(word.back());
}

// A settlement-like name: "Karapınar", "Kavaklı", "Şahinler", "Örencik", "Yukarı Çamlıca".
QString settlement(Rng &rng)
{
    const QString w = pick(words(), rng);
    QString name;
    const double u = rng.uniform();
    if (u < 0.55)
        name = w + pick(endings(), rng);
    else if (u < 0.75)
        name = w + u'l' + harmony(w, true) + (rng.chance(0.3) ? QString(u'c') + harmony(w, false) : QString());
    else if (u < 0.88)
        name = w + u'l' + harmony(w, false) + u'r';
    else
        name = w + (endsVoiceless(w) ? u'ç' : u'c') + harmony(w, true) + u'k';
    if (rng.chance(0.12)) {
        static const QStringList before = {"Yukarı", "Aşağı", "Eski", "Yeni", "Orta"};
        name = pick(before, rng) + u' ' + name;
    }
    return name;
}

} // namespace

QStringList placeTypeNames()
{
    return {"Köy", "Mahalle", "İlçe", "Dağ", "Göl", "Akarsu", "Tepe", "Çiftlik"};
}

QString placeTypeName(PlaceType type)
{
    return placeTypeNames()[int(type)];
}

QString placeName(PlaceType type, uint64_t seed)
{
    Rng rng(hashOf(seed, 0x4E414D45));
    switch (type) {
    case PlaceType::Koy:
    case PlaceType::Ilce:
        return settlement(rng);
    case PlaceType::Mahalle: {
        static const QStringList quarters = {"Cami", "Çarşı", "Kale", "Hamam", "Pazar", "Bağlar",
                                             "Cumhuriyet", "Zafer", "İstiklal", "Çeşme",
                                             "Değirmen", "Fatih", "Gazi", "İnönü", "Şehitler"};
        return (rng.chance(0.5) ? pick(quarters, rng) : settlement(rng)) + " Mahallesi";
    }
    case PlaceType::Dag:
        return rng.chance(0.4) ? pick(words(), rng) + "dağ" : pick(words(), rng) + " Dağı";
    case PlaceType::Tepe:
        return rng.chance(0.5) ? pick(words(), rng) + "tepe" : pick(words(), rng) + " Tepe";
    case PlaceType::Gol:
        return rng.chance(0.3) ? pick(words(), rng) + "göl" : pick(words(), rng) + " Gölü";
    case PlaceType::Akarsu: {
        static const QStringList kinds = {" Çayı", " Deresi", " Deresi", " Irmağı", " Suyu"};
        return pick(words(), rng) + pick(kinds, rng);
    }
    case PlaceType::Ciftlik:
        return settlement(rng) + " Çiftliği";
    }
    return {};
}
