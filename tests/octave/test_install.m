function cases = test_install
  % The functions as users install them: their help, matlab/build_mex.m, and the Octave package.
  cases = {@every_function_has_help_whose_example_runs, ...
           @build_mex_builds_what_the_build_built, ...
           @the_octave_package_installs_and_matches_the_bundled_pair};
end

function root = repository
  root = fullfile(fileparts(mfilename('fullpath')), '..', '..');
end

function folder = built_folder
  folder = fileparts(which('projfirst_u8_i16'));
end

function names = functions_in(folder)
  files = dir(fullfile(folder, '*.mex'));
  names = regexprep({files.name}, '\.mex$', '');
  assert(numel(names) == 19, '%d MEX files in %s', numel(names), folder);
end

function example = example_of(name)
  % The lines after "Example" in the function's help, up to the first empty line.
  text = get_help_text(name);
  lines = regexp(text, '\n', 'split');
  first = find(~cellfun(@isempty, regexp(lines, '^\s*Example')), 1);
  assert(~isempty(first), '%s: no example in its help', name);
  last = first + find(cellfun(@(line) all(isspace(line)), lines(first + 1:end)), 1) - 1;
  example = strjoin(lines(first + 1:last), "\n");
end

function values = run_example(example)
  % The variables an example leaves behind, its printed output swallowed.
  evalc(example);
  values = struct();
  for name = setdiff(who(), {'example', 'values'})'
    values.(name{1}) = eval(name{1});
  end
end

function every_function_has_help_whose_example_runs
  folder = built_folder();
  for name = functions_in(folder)
    name = name{1};
    [text, format] = get_help_text(name);
    assert(strcmp(format, 'plain text'), '%s: no help', name);
    assert(strncmp(strtrim(text), upper(name), numel(name)), '%s: help starts "%s"', name, ...
           strtok(text, "\n"));
    assert(~isempty(strfind(text, [upper(name) '('])), '%s: no usage line in its help', name);
    assert(strcmp(fileparts(which(name)), folder), '%s: not the built file', name);
    try
      run_example(example_of(name));
    catch err
      error('%s: its example fails: %s', name, err.message);
    end
  end
end

function build_mex_builds_what_the_build_built
  % Every function built by build_mex gives what the build's file gives on its help example.
  addpath(fullfile(repository, 'matlab'));
  folder = built_folder();
  names = functions_in(folder);
  built = cellfun(@(name) run_example(example_of(name)), names, 'UniformOutput', false);
  out = tempname();
  cleanup = onCleanup(@() remove_folder(out));
  evalc('build_mex(out)');
  unwind_protect
    for i = 1:numel(names)
      assert(strcmp(which(names{i}), fullfile(out, [names{i} '.mex'])), '%s not rebuilt', names{i});
      assert(isequal(run_example(example_of(names{i})), built{i}), '%s differs', names{i});
    end
  unwind_protect_cleanup
    rmpath(out);
  end_unwind_protect
  assert(strcmp(built_folder(), folder));
end

function the_octave_package_installs_and_matches_the_bundled_pair
  % The package made by scripts/octave_package.sh, installed into a prefix of its own by another
  % Octave, gives annfield's field on the bundled pair and reports the project's version and licence.
  stage = tempname();
  mkdir(stage);
  cleanup = onCleanup(@() remove_folder(stage));
  [status, tarball] = system(sprintf('bash "%s" "%s"', ...
                                     fullfile(repository, 'scripts', 'octave_package.sh'), stage));
  assert(status == 0, 'octave_package.sh failed: %s', tarball);
  installed = fullfile(stage, 'installed.mat');
  [status, text] = system(sprintf(['nice -n 15 octave-cli --norc --no-history --quiet ' ...
                                   '--path "%s" --eval "install_package_and_match(''%s'', ''%s'', ''%s'')"'], ...
                                  fileparts(mfilename('fullpath')), strtrim(tarball), ...
                                  fullfile(repository, 'data'), installed));
  assert(status == 0, 'the package did not install and run: %s', text);
  got = load(installed);

  cmake = fileread(fullfile(repository, 'CMakeLists.txt'));
  version = regexp(cmake, 'project\(gckmatch VERSION ([0-9.]+)', 'tokens', 'once');
  assert(strcmp(got.version, version{1}), 'package version %s, project %s', got.version, version{1});
  assert(strcmp(got.copying, fileread(fullfile(repository, 'LICENSE'))), 'the package has another licence');
  addpath(fullfile(repository, 'matlab'));
  data = fullfile(repository, 'data');
  [nnf, err] = annfield(imread(fullfile(data, 'motorcycle_left.png')), ...
                        imread(fullfile(data, 'motorcycle_right.png')));
  assert(isequal(got.nnf, nnf) && isequal(got.err, err), 'the package gives another field');
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  if exist(folder, 'dir'), rmdir(folder, 's'); end
end
