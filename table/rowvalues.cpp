#include "table/rowvalues.h"

#include <cmath>
#include <cstring>

#include "link/snapshot.h"
#include "table/columns.h"
#include "table/decimal.h"

namespace table {

SlotSortCache SortCache;

void ResetSortCache() {
  memset(&SortCache, 0, sizeof SortCache);
}

namespace {

const double kPi = 3.14159265358979;         // the 15-digit value, not the full double
const double kFeetPerMetre = 3.28084;
const double kTwoPowMinus16 = 0.0000152587890625;
const double kTwoPowMinus32 = 1.0 / 4294967296.0;
const double kSphereDiameterNm = 6875.5;
const double kSphereRadiusNm = 3437.75;

const size_t kTextBytes = 512;

// Flight state codes 0x80 to 0x92; 0x81 has no name.
const int kFirstState = 0x80;
const int kLastState = 0x92;
const char* const StateNames[kLastState - kFirstState + 1] = {
  "Init", "", "Plan", "Clrnc", "Push1", "Push2", "Startup", "preTaxi", "TaxiOut", "T/off1",
  "T/off2", "Depart", "Enroute", "Pattern", "Landing", "Rollout", "GoArnd", "TaxiIn", "ShutDn",
};

// Where the cells of one row go. To a CellWriter, every text but a slot's ID is
// formatted into the one buffer here and handed on before the next is formatted; into
// an array of cells, every text is formatted in its own cell.
struct RowOutput {
  CellWriter write;             // null: the texts go into cells
  void* context;
  char (*cells)[kCellBytes];    // column c's text in cells[c]
  char buffer[kTextBytes];
};

// A text's place: where it is formatted, and how many bytes it may take there.
struct Text {
  char* at;
  size_t bytes;
};

Text Place(RowOutput* out, int column) {
  if (out->cells) return {out->cells[column], size_t(kCellBytes)};
  return {out->buffer, kTextBytes};
}

// The text in its place is the column's: handed on to a writer (cells hold it already).
void Emit(RowOutput* out, int column) {
  if (!out->cells) out->write(out->context, column, out->buffer);
}

void EmitEmpty(RowOutput* out, int column) {
  Place(out, column).at[0] = '\0';
  Emit(out, column);
}

// 0.5 added, then the fraction dropped toward zero: halves go up for positive values,
// and a negative value is not rounded symmetrically (-2.7 gives -2).
int32_t Rounded(double value) {
  return SaturateToInt(value + 0.5);
}

// Texts are put together in their place piece by piece; no piece reaches past it, and
// the text stays NUL-terminated. Each returns the new length.
size_t AppendText(Text t, size_t length, const char* piece, size_t pieceLength) {
  if (length >= t.bytes - 1) return length;
  size_t n = pieceLength < t.bytes - 1 - length ? pieceLength : t.bytes - 1 - length;
  memcpy(t.at + length, piece, n);
  length += n;
  t.at[length] = '\0';
  return length;
}

size_t AppendString(Text t, size_t length, const char* piece) {
  return AppendText(t, length, piece, strlen(piece));
}

size_t AppendDecimal(Text t, size_t length, int32_t value, int width) {
  size_t n = FormatDecimal(t.at + length, t.bytes - length, value, width);
  return length + n < t.bytes - 1 ? length + n : t.bytes - 1;
}

// The whole text of one number: "%d", or "%0*d" for a width.
void FormatNumber(Text t, int32_t value, int width = 0) {
  FormatDecimal(t.at, t.bytes, value, width);
}

// Degrees and decimal minutes of an angle's magnitude. A value too large for the whole
// degrees to be shown (or not a number) shows the saturated degrees and no minutes.
void SplitDegrees(double value, int32_t* degrees, double* minutes) {
  double magnitude = std::fabs(value);
  *degrees = SaturateToInt(magnitude);
  *minutes = magnitude < 2147483648.0 ? (magnitude - *degrees) * 60 : 0.0;
}

// "%c%0*d  %07.4f": hemisphere letter, whole degrees in `width` digits, two blanks,
// decimal minutes.
void FormatAngle(Text t, double value, char positive, char negative, int width) {
  int32_t degrees;
  double minutes;
  SplitDegrees(value, &degrees, &minutes);
  t.at[0] = value < 0 ? negative : positive;
  t.at[1] = '\0';
  size_t length = AppendDecimal(t, 1, degrees, width);
  length = AppendText(t, length, "  ", 2);
  FormatMinutes(t.at + length, t.bytes - length, minutes);
}

void FormatLatitude(Text t, double value) {
  FormatAngle(t, value, 'N', 'S', 2);
}

void FormatLongitude(Text t, double value) {
  FormatAngle(t, value, 'E', 'W', 3);
}

// COM1 as the four BCD digits after a leading 1 ("1%02X.%02X"); 0 is no frequency.
void FormatCom1(Text t, uint16_t com1) {
  t.at[0] = '\0';
  if (com1 == 0) return;
  const char hex[] = "0123456789ABCDEF";
  char frequency[7] = {'1', hex[(com1 >> 12) & 0xF], hex[(com1 >> 8) & 0xF], '.',
                       hex[(com1 >> 4) & 0xF], hex[com1 & 0xF], '\0'};
  AppendText(t, 0, frequency, 6);
}

void FormatState(Text t, uint8_t state) {
  t.at[0] = '\0';
  if (state < kFirstState)
    return;
  else if (state <= kLastState)
    AppendString(t, 0, StateNames[state - kFirstState]);
  else
    FormatNumber(t, state - kFirstState);
}

// Runway number 1-36 as two digits, 37-44 as a compass point, then the designator
// letter L, R, C or W. Numbers past 44 have no meaning of their own and are shown as
// numbers too.
void FormatRunway(Text t, uint8_t number, uint8_t designator) {
  t.at[0] = '\0';
  if (number == 0) return;
  const char* letter = designator >= 1 && designator <= 4
                           ? NameTable[kDesignatorAt + designator - 1] : "";
  size_t length;
  if (number >= 37 && number <= 44)
    length = AppendString(t, 0, NameTable[kCompassAt + number - 37]);
  else
    length = AppendDecimal(t, 0, number, 2);
  AppendString(t, length, letter);
}

// An airport code of up to four characters ("%.4s"): the field has no NUL when the
// code is four characters long.
void FormatCode(Text t, const char* code) {
  size_t length = 0;
  while (length < 4 && code[length] != '\0') ++length;
  t.at[0] = '\0';
  AppendText(t, 0, code, length);
}

// A longitude difference taken the short way round, into (-180, 180]: two aircraft a
// few miles apart on either side of the 180-degree meridian are a few miles apart.
double FoldLongitude(double difference) {
  if (difference > 180 || difference <= -180) {
    difference = std::fmod(difference, 360.0);
    if (difference > 180)
      difference -= 360;
    else if (difference <= -180)
      difference += 360;
  }
  return difference;
}

// Great-circle distance (nautical miles) and magnetic bearing (degrees, 0 to 360) from
// the user's position U to the aircraft at A, on a sphere of one nautical mile per
// minute of arc.
void DistanceAndBearing(double latU, double lonU, double latA, double lonA,
                        int16_t magneticVariation, double* distance, double* bearing) {
  double c = std::cos(std::fabs(latA + latU) * kPi / 360);
  double dLon = FoldLongitude(lonA - lonU);
  double e = dLon * c;
  double n = latU - latA;
  double f = std::sqrt(n * n + e * e) * 60 / kSphereDiameterNm;
  if (f > 1) f = 1;   // beyond half the circumference: the far side of the sphere
  double w = std::asin(f);
  *distance = (w + w) * kSphereRadiusNm;

  double b;
  if (latU == latA)
    b = 90;
  else
    b = std::atan(std::fabs(e / (latA - latU))) * 180 / kPi;
  if (latA > latU) {
    if (dLon < 0) b = 360 - b;
  } else {
    b = dLon > 0 ? 180 - b : 180 + b;
  }
  b = b - double(magneticVariation) * 360 * kTwoPowMinus16;
  if (b < 0) b += 360;
  if (b > 360) b -= 360;
  *bearing = b;
}

// The user's heading: rounded to 1/65536 of a circle, made magnetic modulo a circle,
// then scaled down to whole degrees 0 to 359.
int UserMagneticHeading(uint32_t heading, int16_t magneticVariation) {
  uint32_t h = (heading + 32768u) >> 16;
  uint32_t m = (h - uint32_t(int32_t(magneticVariation))) & 0xFFFFu;
  return int((m * 360u) >> 16);
}

// A slot's heading: made magnetic, scaled with truncation toward zero, wrapped once;
// unlike the user's it can show 360.
int SlotMagneticHeading(uint16_t heading, int16_t magneticVariation) {
  int32_t t = int32_t(heading) - int32_t(magneticVariation);
  int32_t d = t * 360 / 65536;
  if (d < 0) d += 360;
  if (d > 360) d -= 360;
  return d;
}

}  // namespace

int32_t SaturateToInt(double value) {
  if (value != value) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return int32_t(value);
}

int CompareCode4(const char* a, const char* b) {
  for (int i = 0; i < 4; ++i) {
    int ca = (unsigned char)a[i];
    int cb = (unsigned char)b[i];
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

bool PassesAirportFilter(const uint8_t* route, const char* airportFilter) {
  if (airportFilter == nullptr || airportFilter[0] == '\0') return true;
  if (route == nullptr) return false;
  return CompareCode4(simlink::RouteFrom(route), airportFilter) == 0 ||
         CompareCode4(simlink::RouteTo(route), airportFilter) == 0;
}

namespace {

// The texts of the user's row, into out.
void UserRowTexts(RowOutput* out, const uint8_t* view) {
  AppendString(Place(out, ColId), 0, "User");
  Emit(out, ColId);
  EmitEmpty(out, ColDist);
  EmitEmpty(out, ColBrg);
  EmitEmpty(out, ColAltDiff);

  FormatLatitude(Place(out, ColLat), simlink::UserLatitudeDegrees(view));
  Emit(out, ColLat);
  FormatLongitude(Place(out, ColLong), simlink::UserLongitudeDegrees(view));
  Emit(out, ColLong);

  double feet = simlink::UserAltitudeWhole(view) * kFeetPerMetre +
                simlink::UserAltitudeFraction(view) * kFeetPerMetre * kTwoPowMinus32;
  FormatNumber(Place(out, ColAlt), SaturateToInt(feet));
  Emit(out, ColAlt);

  FormatNumber(Place(out, ColHdg),
               UserMagneticHeading(simlink::UserHeading(view), simlink::UserMagneticVariation(view)),
               3);
  Emit(out, ColHdg);

  double knots = simlink::UserGroundSpeed(view) * kFeetPerMetre * 3600 / 398204272.64;
  FormatNumber(Place(out, ColGs), Rounded(knots));
  Emit(out, ColGs);

  double feetPerMinute = simlink::UserVerticalSpeed(view) * kFeetPerMetre * 60 * 0.00390625;
  FormatNumber(Place(out, ColVs), Rounded(feetPerMinute));
  Emit(out, ColVs);

  FormatCom1(Place(out, ColCom1), simlink::UserCom1(view));
  Emit(out, ColCom1);

  for (int column = ColState; column <= ColRwy; ++column) EmitEmpty(out, column);
}

// The texts of slot k's row, into out; its sort cache entries when it is shown.
void SlotRowTexts(RowOutput* out, const uint8_t* view, int slot, const char* airportFilter) {
  const uint8_t* record = simlink::TrafficSlotAt(view, slot);
  const uint8_t* route = simlink::SlotRouteAt(view, slot);
  if (record == nullptr || route == nullptr || simlink::SlotRefId(record) == 0 ||
      !PassesAirportFilter(route, airportFilter)) {
    for (int column = ColId; column <= ColRwy; ++column) EmitEmpty(out, column);
    return;
  }

  // The ID goes out as it lies in the snapshot when it ends inside its field; a field
  // without a NUL is cut to 14 characters.
  const char* id = simlink::SlotIdField(record);
  if (out->cells) {
    Text t = Place(out, ColId);
    t.at[0] = '\0';
    AppendText(t, 0, id, strnlen(id, simlink::kIdMaxChars));
  } else {
    char cutId[simlink::kIdMaxChars + 1];
    if (memchr(id, '\0', simlink::kIdFieldBytes) == nullptr) {
      memcpy(cutId, id, simlink::kIdMaxChars);
      cutId[simlink::kIdMaxChars] = '\0';
      id = cutId;
    }
    out->write(out->context, ColId, id);
  }

  int16_t magneticVariation = simlink::UserMagneticVariation(view);
  double latA = simlink::SlotLatitude(record);
  double lonA = simlink::SlotLongitude(record);
  double distance, bearing;
  DistanceAndBearing(simlink::UserLatitudeDegrees(view), simlink::UserLongitudeDegrees(view),
                     latA, lonA, magneticVariation, &distance, &bearing);
  float altitude = simlink::SlotAltitude(record);
  double altitudeDifference =
      (double(altitude) - simlink::UserAltitudeWhole(view) * kFeetPerMetre) / 100;
  if (slot >= 0 && slot < simlink::kSortCacheSlots) {
    SortCache.distance[slot] = distance;
    SortCache.bearing[slot] = bearing;
    SortCache.altitudeDifference[slot] = altitudeDifference;
  }

  Text t = Place(out, ColDist);
  AppendText(t, FormatDecimal(t.at, t.bytes, Rounded(distance), 0), " nm", 3);
  Emit(out, ColDist);
  FormatNumber(Place(out, ColBrg), Rounded(bearing), 3);
  Emit(out, ColBrg);

  int32_t hundreds = SaturateToInt(std::fabs(altitudeDifference) + 0.5);
  t = Place(out, ColAltDiff);
  t.at[0] = altitudeDifference <= -0.5 ? '-' : '+';
  AppendDecimal(t, 1, hundreds, 0);
  Emit(out, ColAltDiff);

  FormatLatitude(Place(out, ColLat), latA);
  Emit(out, ColLat);
  FormatLongitude(Place(out, ColLong), lonA);
  Emit(out, ColLong);

  float roundedFeet = altitude + 0.5f;   // single precision, as the feet are stored
  FormatNumber(Place(out, ColAlt), SaturateToInt(roundedFeet));
  Emit(out, ColAlt);

  FormatNumber(Place(out, ColHdg),
               SlotMagneticHeading(simlink::SlotHeading(record), magneticVariation), 3);
  Emit(out, ColHdg);
  FormatNumber(Place(out, ColGs), simlink::SlotGroundSpeed(record));
  Emit(out, ColGs);
  FormatNumber(Place(out, ColVs), simlink::SlotVerticalSpeed(record));
  Emit(out, ColVs);
  FormatCom1(Place(out, ColCom1), simlink::SlotCom1(record));
  Emit(out, ColCom1);
  FormatState(Place(out, ColState), simlink::SlotState(record));
  Emit(out, ColState);

  FormatCode(Place(out, ColFrom), simlink::RouteFrom(route));
  Emit(out, ColFrom);
  FormatCode(Place(out, ColTo), simlink::RouteTo(route));
  Emit(out, ColTo);

  // The reference number's low 16 bits, signed and negated: 0x8000 gives 32768.
  int16_t refLow = int16_t(simlink::SlotRefId(record) & 0xFFFFu);
  FormatNumber(Place(out, ColRef), -int32_t(refLow));
  Emit(out, ColRef);

  FormatRunway(Place(out, ColRwy), simlink::RouteRunwayNumber(route),
               simlink::RouteRunwayDesignator(route));
  Emit(out, ColRwy);
}

}  // namespace

void ComputeUserRow(const uint8_t* view, CellWriter write, void* context) {
  RowOutput out;
  out.write = write;
  out.context = context;
  out.cells = nullptr;
  UserRowTexts(&out, view);
}

void ComputeSlotRow(const uint8_t* view, int slot, const char* airportFilter,
                    CellWriter write, void* context) {
  RowOutput out;
  out.write = write;
  out.context = context;
  out.cells = nullptr;
  SlotRowTexts(&out, view, slot, airportFilter);
}

void ComputeUserRowCells(const uint8_t* view, char cells[][kCellBytes]) {
  RowOutput out;
  out.write = nullptr;
  out.context = nullptr;
  out.cells = cells;
  UserRowTexts(&out, view);
}

void ComputeSlotRowCells(const uint8_t* view, int slot, const char* airportFilter,
                         char cells[][kCellBytes]) {
  RowOutput out;
  out.write = nullptr;
  out.context = nullptr;
  out.cells = cells;
  SlotRowTexts(&out, view, slot, airportFilter);
}

}  // namespace table
