// HALVIK HS12.5
/*
 * A drive database for the tests: invented makers and models, in the
 * shape of the field's file, with each piece its reader takes.
 */

/*
const drive_settings builtin_knowndrives[] = {
 */
  { "VERSION: 1.0 test",
    "-", "-",
    "Version information",
    ""
  },
  { "DEFAULT",
    "-", "-",
    "Default settings",
    "-v 1,raw48,Raw_Read_Error_Rate "
    "-v 3,raw16(avg16),Spin_Up_Time "
    "-v 5,raw16(raw16),Reallocated_Sector_Ct "
    "-v 9,raw24(raw8),Power_On_Hours "
    //  10-189 Unknown_Attribute
    "-v 190,tempminmax,Airflow_Temperature_Cel "
    "-v 194,tempminmax,Temperature_Celsius "
    "-v 197,raw48,Current_Pending_Sector "
    "-v 231,raw48,Temperature_Celsius,HDD " // named so on disks only
  },
  // Corvane Tundra: the first firmware counts minutes
  { "Corvane Tundra", /* family */
    "CORVANE CT(500|1000)[A-Z]{2}",
    "CT0[1-3]",
    "Firmware CT01 to CT03 count \"minutes\":\n"
    "update to CT04.",
    "-v 9,minutes -F xerrorlba"
  },
  { "Corvane Tundra",
    "CORVANE CT(500|1000)[A-Z]{2}",
    "",
    "",
    "-v 9,raw24(raw8) "
    "-v 197,raw48:543210,Pending_Total"
  },
  // Halvik SSDs: escapes in octal and hex ("\x48" is 'H', "\040" a blank)
  { "Halvik \x48S SSDs",
    "HALVIK\040HS[0-9]+\\.[0-9]", "", "",
    "-v 5,hex48,Halvik_Remap_State -v 9,halfminutes "
    "-v 190,tempminmax,Case_Temperature -v 233,raw24/raw32:04321,Wear_Ratio,SSD"
  },
  // Switched off, and a USB bridge: never a drive's entry
  { "$Halvik HS old", "HALVIK HS.*", "", "", "-v 9,seconds" },
  { "USB: Halvik box; bridge", "0x1234:0x5678", "", "", "-d sat" },
  // An expression that does not compile: skipped and listed
  { "Mirrel broken", "MIRREL M[2-1]", "", "", "" },
  // Presets this reader does not know leave their attributes undecoded
  { "Tessaro Q", "TESSARO Q.*", "", "",
    "-v 9,raw99,Odd_Hours -v 12,minutes -P ignore"
  },
/*
}; // builtin_knowndrives[]
 */
