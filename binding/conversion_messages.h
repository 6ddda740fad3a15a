// The texts of the conversion failures; placeholders are filled by FormatString.
#pragma once

namespace Zarvo::ConversionMessage {

inline constexpr const char* required = "A value for '%1' is required.";
inline constexpr const char* boolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\".";
inline constexpr const char* boolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
inline constexpr const char* numberFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
inline constexpr const char* numberRange = "Value %1 for '%2' of type %3 is out of range";
inline constexpr const char* invalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
inline constexpr const char* enumNameMissing = "%1 is not a valid enumeration value for '%2'.";
inline constexpr const char* notString = "Couldn't assign value to '%1' because the input is not a string.";
inline constexpr const char* enumValueInvalid = "%1 is not a valid %2 enumeration value for '%3'.";
inline constexpr const char* enumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
inline constexpr const char* blobCharacters =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 characters.";
inline constexpr const char* notBlob = "Couldn't assign value to '%1' of type blob because the input is not a blob.";
inline constexpr const char* notCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr const char* mapNotStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";
inline constexpr const char* unregisteredInput =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
inline constexpr const char* recordNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
inline constexpr const char* requiredField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
inline constexpr const char* unregisteredNative = "Couldn't convert native value because it's an unregistered structure.";
// Ours: an enum target whose type was never registered, and a field registered without any way to convert it.
inline constexpr const char* unregisteredEnum = "Couldn't assign value to '%1' because its enumeration type is not registered.";
inline constexpr const char* noConverter = "Couldn't convert field '%1' because its type has no converter.";

}  // namespace Zarvo::ConversionMessage
