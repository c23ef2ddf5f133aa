// The OPOS POSPrinter service object interface as a Control Object sees it: DISPID and
// every name it may look up (the standard's service-object names, and the older ones).
#pragma once

struct ExpectedName {
  long dispid;
  const wchar_t* name;
};

inline constexpr ExpectedName kExpectedNames[] = {
    {1, L"GetPropertyNumber"},  {2, L"SetPropertyNumber"},   {3, L"GetPropertyString"},
    {4, L"SetPropertyString"},  {5, L"OpenService"},         {6, L"CloseService"},
    {6, L"Close"},              {7, L"ClaimDevice"},         {7, L"Claim"},
    {8, L"ReleaseDevice"},      {8, L"Release"},             {9, L"CheckHealth"},
    {10, L"DirectIO"},          {11, L"COFreezeEvents"},     {12, L"ClearOutput"},
    {13, L"BeginInsertion"},    {14, L"BeginRemoval"},       {15, L"EndInsertion"},
    {16, L"EndRemoval"},        {17, L"CutPaper"},           {18, L"PrintBarCode"},
    {19, L"PrintBitmap"},       {20, L"PrintImmediate"},     {21, L"PrintNormal"},
    {22, L"PrintTwoNormal"},    {23, L"RotatePrint"},        {24, L"SetBitmap"},
    {25, L"SetLogo"},           {26, L"TransactionPrint"},   {27, L"ValidateData"},
    {28, L"GetOpenResult"},     {29, L"ChangePrintSide"},    {30, L"MarkFeed"},
    {31, L"ClearPrintArea"},    {32, L"PageModePrint"},      {33, L"CompareFirmwareVersion"},
    {34, L"ResetStatistics"},   {35, L"RetrieveStatistics"}, {36, L"UpdateFirmware"},
    {37, L"UpdateStatistics"},  {38, L"PrintMemoryBitmap"},  {39, L"DrawRuledLine"},
};

// The parameters of each entry, first parameter first, as the OPOS POSPrinter service object
// interface declares them: L long, T BSTR, l pointer to long, t pointer to BSTR, D IDispatch.
struct ExpectedParameters {
  long dispid;
  const char* kinds;
};

inline constexpr ExpectedParameters kExpectedParameters[] = {
    {1, "L"},       {2, "LL"},      {3, "L"},     {4, "LT"},     {5, "TTD"},  {6, ""},
    {7, "L"},       {8, ""},        {9, "L"},     {10, "Llt"},   {11, "L"},   {12, ""},
    {13, "L"},      {14, "L"},      {15, ""},     {16, ""},      {17, "L"},   {18, "LTLLLLL"},
    {19, "LTLL"},   {20, "LT"},     {21, "LT"},   {22, "LTT"},   {23, "LL"},  {24, "LLTLL"},
    {25, "LT"},     {26, "LL"},     {27, "LT"},   {28, ""},      {29, "L"},   {30, "L"},
    {31, ""},       {32, "L"},      {33, "Tl"},   {34, "T"},     {35, "t"},   {36, "T"},
    {37, "T"},      {38, "LTLLL"},  {39, "LTLLLL"},
};
