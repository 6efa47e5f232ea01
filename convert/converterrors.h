#pragma once

#include <QString>

#include <cstdint>

// The readable text of an OnError code of the conversion component
// (AudioConvertLib::TAudioConvertErrorCode), as the rip job writes it after
// "Error: ". A code the component does not define gets a text that names it.
QString ConvertErrorText(int32_t code);
