function run_octave_tests(mex_dir)
  % Runs every tests/octave/test_*.m against the .mex files in mex_dir, prints one line per failed
  % case and a closing "N passed, M failed", and exits non-zero when any case failed.
  %
  % A test file test_<family>.m is a function file that returns a cell array of handles to its
  % local functions, one per case; a case fails by raising an error (assert, error,
  % assert_fails_with).
  warning('off', 'Octave:shadowed-function');  % hash.mex shadows a built-in, as it should
  addpath(mex_dir, '-begin');
  addpath(fileparts(mfilename('fullpath')));

  passed = 0;
  failed = 0;
  % Every deliverable in the folder must be what its name calls, not a built-in or another file.
  for file = dir(fullfile(mex_dir, '*.mex'))'
    [~, name] = fileparts(file.name);
    found = which(name);
    if strcmp(found, fullfile(mex_dir, file.name))
      passed = passed + 1;
    else
      failed = failed + 1;
      printf('FAILED %s resolves to "%s", not the built file\n', name, found);
    end
  end

  here = fileparts(mfilename('fullpath'));
  for file = dir(fullfile(here, 'test_*.m'))'
    [~, family] = fileparts(file.name);
    try
      cases = feval(family);
      % A family that offers no case has lost what it tests (a function missing from the path).
      assert(~isempty(cases), 'no cases to run');
    catch err
      failed = failed + 1;
      printf('FAILED %s: %s\n', family, err.message);
      continue;
    end
    for i = 1:numel(cases)
      try
        cases{i}();
        passed = passed + 1;
      catch err
        failed = failed + 1;
        printf('FAILED %s/%s: %s\n', family, func2str(cases{i}), err.message);
      end
    end
  end
  printf('%d passed, %d failed\n', passed, failed);
  exit(failed > 0);
end
