// Resource identifiers of the settings windows, shared by the .rc file and the code.
#pragma once

#define EQ_IDB_LOGO 201
#define EQ_IDI_LIST 202
