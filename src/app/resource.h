#pragma once
// Resource identifiers of the utility.
#define IDI_APP 1
#define IDD_FORM1 100
