function install_package_and_match(tarball, data, out)
  % Installs the gckmatch package into a prefix beside `out` (nothing outside it), loads it, checks
  % that its functions and their help come from there and that pkg describes it, and saves
  % annfield's field (nnfield's) on the bundled pair, the package's version and its COPYING to
  % `out`. Run in an Octave of its own by test_install.
  prefix = fullfile(fileparts(out), 'prefix');
  mkdir(prefix);
  pkg('prefix', fullfile(prefix, 'share'), fullfile(prefix, 'lib'));
  pkg('local_list', fullfile(prefix, 'octave_packages'));
  warning('off', 'Octave:shadowed-function');  % hash shadows a built-in, as it should
  pkg('install', '-local', tarball);
  pkg('load', 'gckmatch');
  for name = {'annfield', 'nnfield', 'projfirst_u8_i16', 'seedspread_i32_kbest_self'}
    assert(strncmp(which(name{1}), prefix, numel(prefix)), '%s is %s', name{1}, which(name{1}));
  end
  assert(strncmp(get_help_text('hash'), 'HASH', 4), 'hash has not its help');
  % nnfield's help example reads the bundled pair from its own folder.
  assert(strncmp(get_help_text('nnfield'), 'NNFIELD', 7), 'nnfield has not its help');
  assert(exist(fullfile(fileparts(which('nnfield')), 'motorcycle_left.png'), 'file') == 2);
  [nnf, err] = annfield(imread(fullfile(data, 'motorcycle_left.png')), ...
                        imread(fullfile(data, 'motorcycle_right.png')));
  installed = pkg('list', 'gckmatch');
  version = installed{1}.version;
  description = evalc('pkg(''describe'', ''-verbose'', ''gckmatch'')');
  assert(~isempty(strfind(description, 'annfield_knn')), 'pkg describe says: %s', description);
  copying = fileread(fullfile(installed{1}.dir, 'packinfo', 'COPYING'));
  save('-binary', out, 'nnf', 'err', 'version', 'copying');
end
