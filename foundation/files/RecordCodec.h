// Field-by-field codecs of the training record family: each Read... decodes exactly one stored
// record (the size named in Types.h) from the reader, each Write... appends exactly one.
// Read functions return false when the reader ran out (the record is then partly zero).
//
// Values read are made safe for the rest of the program: NaN and infinities in Singles and
// TDateTimes become 0. Texts stay Windows-1252 bytes; enum bytes are kept as stored (use the
// bounds-checked name-table lookups on them).
#pragma once

#include "foundation/core/ByteStream.h"
#include "foundation/core/Types.h"

bool ReadGuid(TByteReader& reader, TGUID& guid); // Windows layout: D1, D2, D3 little-endian, D4
void WriteGuid(TByteWriter& writer, const TGUID& guid);

bool ReadStgHeaderRecord(TByteReader& reader, TStgHeader& header);
void WriteStgHeaderRecord(TByteWriter& writer, const TStgHeader& header);

bool ReadStgIniRecord(TByteReader& reader, TStgIni& ini);
void WriteStgIniRecord(TByteWriter& writer, const TStgIni& ini);

bool ReadStgStrokeRecord(TByteReader& reader, TStgStrokeData& stroke);
void WriteStgStrokeRecord(TByteWriter& writer, const TStgStrokeData& stroke);

bool ReadStgForceCurveRecord(TByteReader& reader, TStgForceCurve& curve);
void WriteStgForceCurveRecord(TByteWriter& writer, const TStgForceCurve& curve);

bool ReadStgIntervalRecord(TByteReader& reader, TStgInterval& interval);
void WriteStgIntervalRecord(TByteWriter& writer, const TStgInterval& interval);

bool ReadStgRawRecord(TByteReader& reader, TStgRawData& raw);
void WriteStgRawRecord(TByteWriter& writer, const TStgRawData& raw);

bool ReadStgWorkoutRecord(TByteReader& reader, TStgWorkout& workout);
void WriteStgWorkoutRecord(TByteWriter& writer, const TStgWorkout& workout);

// The 1024-byte header block of files older than kStgChunkedVersion, magic and version
// included. Fills the header fields it holds; all other fields become 0.
inline constexpr int kStgOldHeaderSize = 1024;
inline constexpr std::uint32_t kStgChunkedVersion = 0x80500; // 0.8.5.0
bool ReadStgOldHeaderRecord(TByteReader& reader, TStgHeader& header, std::int32_t& version);
