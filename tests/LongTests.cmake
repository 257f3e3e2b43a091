# Tests labelled "long": long loops over platform-independent logic that
# reach files only through the in-memory test platform (fault loops over
# every file-system call, damage-kind matrices, sample-table sweeps, whole-run
# matrices). The native run has them all; the Wine run leaves them out
# (ctest -LE long) but for one short representative of each kind, named in
# remdo_short_representatives. Chosen by CTest name (layer.Suite.Test, as
# regular expressions), which stays the same wherever a test's source file
# lives; the per-test times of a Wine run (build/windows/Testing/Temporary/
# LastTest.log) decide what goes here. CTest includes this file after every
# test program's tests have been discovered.
set(remdo_long_tests
  # Fault loops over every file-system call (Wine: 320 s for each kind of
  # fault of the first, 440 s and 290 s for the second).
  "^paradox\\.FailAndStop/IndexMemoFaults\\."
  "^repair\\.FaultInjectionTest\\.Each"
  # Whole runs crashed at 200 points, each followed by a run to the end
  # (natively 100 to 240 s, by the load); five of those points stand for
  # them in integration.WholeRunCrash.FiveCrashPoints..., not labelled.
  "^integration\\.WholeRunCrash\\.AnyCrashPoint"
  # An undo stopped at each of its file-system calls, each followed by the
  # undo that finishes it, in eight shards (natively 1 to 3 min each, by the
  # load); eight stop points stand for them in
  # integration.WholeRunUndoStop.EightStopped..., not labelled.
  "^integration\\.EveryCall/WholeRunUndoStopShard\\."
  # Repair and undo of a catalogue with each kind of damage (natively 20 to
  # 50 s); three of them in integration.WholeRunUndo.ThreeDamageCases...
  "^integration\\.WholeRunUndo\\.EveryDamageKind"
  # Damage-kind matrices (Wine: 13 to 17 s each of 2 x 60 damaged tables
  # read back, 12 s each of 17 catalogue repairs, 3 s each of 32 table
  # repairs).
  "^tools\\.Kinds/DamageToRecords\\."
  "^repair\\.Kinds/DamagedCatalogueTest\\."
  "^repair\\.Kinds/DamageKinds\\."
  # A verify-only run and a repair run of a catalogue with each kind of
  # damage (natively 1 to 4 s each).
  "^integration\\.DamageKinds/TVerifyRun\\.")
set(remdo_short_representatives
  # The fault loop of the family commit (Wine: 11 s for each kind of fault)
  # stands for the fault loops and is not labelled at all.
  "^tools\\.Kinds/DamageToRecords\\.[A-Za-z]+/zeroedblock_seed1( |$)"
  "^repair\\.Kinds/DamagedCatalogueTest\\.NoRecordIsLostAndTheRepairedTableReadsBack/DuplicateKeyInBooks( |$)"
  "^repair\\.Kinds/DamageKinds\\.NoVisibleRecordIsLost/read_only_strict( |$)"
  # The read-only table stands for them: its attributes must survive too.
  "^integration\\.DamageKinds/TVerifyRun\\.[A-Za-z]+/read_only_Pubs( |$)")

foreach(remdo_program IN ITEMS env paradox repair app tools integration)
  foreach(remdo_test IN LISTS remdo_${remdo_program}_tests_TESTS)
    set(remdo_long FALSE)
    foreach(remdo_pattern IN LISTS remdo_long_tests)
      if(remdo_test MATCHES "${remdo_pattern}")
        set(remdo_long TRUE)
      endif()
    endforeach()
    foreach(remdo_pattern IN LISTS remdo_short_representatives)
      if(remdo_test MATCHES "${remdo_pattern}")
        set(remdo_long FALSE)
      endif()
    endforeach()
    if(remdo_long)
      set_tests_properties("${remdo_test}" PROPERTIES LABELS long)
    endif()
  endforeach()
endforeach()
