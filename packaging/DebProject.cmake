# Read by cpack before it installs the project into its staging folder.
set(ENV{TOVLAN_PACKAGING} 1)
