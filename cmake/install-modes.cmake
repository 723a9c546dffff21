# Run by the install script: the directories an install creates get 0755
# whatever the umask, which mkdir applies to the mode CMake asks for.
# Directories that were there before are left as they are.

# Notes which of textweld_install_dirs, and their parents, do not exist yet.
function(textweld_find_new_dirs)
  set(new_dirs "")
  foreach(dir IN LISTS textweld_install_dirs)
    set(path "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dir}")
    while(NOT EXISTS "${path}")
      list(APPEND new_dirs "${path}")
      get_filename_component(path "${path}" DIRECTORY)
    endwhile()
  endforeach()
  set(textweld_new_dirs "${new_dirs}" PARENT_SCOPE)
endfunction()

function(textweld_open_new_dirs)
  foreach(path IN LISTS textweld_new_dirs)
    if(IS_DIRECTORY "${path}")
      file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
  endforeach()
endfunction()
