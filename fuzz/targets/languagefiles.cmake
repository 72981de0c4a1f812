add_syncshell_fuzz_target(languagefiles SOURCES
    localization/englishtexts.cpp localization/languagelist.cpp localization/overridefile.cpp
    localization/textfile.cpp localization/texttable.cpp localization/translation.cpp)
