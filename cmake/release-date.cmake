# Sets TEXTWELD_DATE (the release date, YYYY-MM-DD) and
# TEXTWELD_SOURCE_DATE_EPOCH: SOURCE_DATE_EPOCH where it is set, else the
# date of the Debian changelog's top entry, so that a build made without it
# still gives the same bytes.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_dates
  REGEX "^ -- .*  ")
list(GET changelog_dates 0 changelog_date)
string(REGEX REPLACE "^ -- .*  " "" changelog_date "${changelog_date}")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TEXTWELD_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND date -u -d "${changelog_date}" +%s
    OUTPUT_VARIABLE TEXTWELD_SOURCE_DATE_EPOCH
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE date_failed)
  if(date_failed)
    message(STATUS "cannot read the changelog's date: packages take the "
      "time they are made")
    set(TEXTWELD_SOURCE_DATE_EPOCH "")
  endif()
endif()
if(TEXTWELD_SOURCE_DATE_EPOCH)
  set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} ${TEXTWELD_SOURCE_DATE_EPOCH})
  string(TIMESTAMP TEXTWELD_DATE "%Y-%m-%d" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
else()
  string(TIMESTAMP TEXTWELD_DATE "%Y-%m-%d" UTC)
endif()
