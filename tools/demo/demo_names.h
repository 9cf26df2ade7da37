#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>

// The rows of table tipler, in this order.
enum class PlaceType : uint8_t { Koy, Mahalle, Ilce, Dag, Gol, Akarsu, Tepe, Ciftlik };
constexpr int PlaceTypeCount = 8;

QStringList placeTypeNames();
QString placeTypeName(PlaceType type);

// A Turkish place name fitting the type, made from common name parts; the same for a seed.
QString placeName(PlaceType type, uint64_t seed);
